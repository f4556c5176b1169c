#include "page/GradePage.h"

#include "core/Settings.h"
#include "page/GradeForm.h"
#include "page/Highlighting.h"
#include "platform/Browser.h"

#include <QJsonObject>

namespace tallyra::GradePage {

bool IsGradePage(Browser *browser)
{
    // The three tests in their order; the first that fails, or throws, decides.
    static const QString body = QStringLiteral(R"JS(
try {
    if (!document.documentElement || typeof document.getElementsByName !== 'function')
        return false;
    if (!(document.getElementsByName(arg.frame).length > 0))
        return false;
    const contentDocument = function () { return window.frames[arg.frame].document; };
    if (!(contentDocument().getElementsByName(arg.form).length > 0))
        return false;
    // The form by its name, as every read and write finds it; an element
    // merely with that id is not it.
    const forms = contentDocument().forms;
    for (let i = 0; i < forms.length; ++i) {
        if (forms[i].getAttribute('name') === arg.form)
            return forms[i].elements.length > 0;
    }
    return false;
} catch (e) {
    return false;
}
)JS");
    const auto result = browser->evaluate(body, QJsonObject{{QStringLiteral("frame"), GradePageNames::contentFrame},
                                                            {QStringLiteral("form"), GradePageNames::scoreForm}});
    return result && result->toBool(false);
}

bool markColor(Browser *browser)
{
    const FormSnapshot snapshot = browser->snapshotForm(GradePageNames::contentFrame, GradePageNames::scoreForm);
    if (!snapshot.ok())
        return false;
    const auto writes = Highlighting::plan(snapshot, settings());
    if (!writes)
        return false;
    if (writes->isEmpty())
        return true;
    return browser
        ->writeForm(GradePageNames::contentFrame, GradePageNames::scoreForm, snapshot, *writes,
                    GradeForm::idFields(snapshot.elements))
        .ok();
}

} // namespace tallyra::GradePage
