#pragma once

// A page's form as Tallyra reads and writes it: plain values, so that the
// transfer's logic and its tests need no web engine.
#include <QString>
#include <QVector>

namespace tallyra {

// One element of a form as the page held it when it was read.
struct FormElement {
    int index = 0;
    QString name;
    QString value;
    QString background; // its own style's background colour, "" when it has none
    // An enabled, writable text-like input (text, number, tel, search, or no
    // type): the only kind of field that keeps a score as written.
    bool writable = false;
};

// A whole form read in one script call, or the link of the chain
// top document -> frame -> document -> form that could not be reached.
struct FormSnapshot {
    enum class Status {
        Ok,
        NoDocument,        // the browser holds no HTML document
        NoFrame,           // no frame of that name
        FrameInaccessible, // another origin, or no document in the frame
        NoForm,            // no form of that name in the frame's document
        ScriptFailed,      // the engine gave no answer (the page went away)
        NotResponding,     // the page did not answer within the time limit (a hung script)
    };

    Status status = Status::ScriptFailed;
    QString token;  // marks the form object read; a reloaded page lacks it
    QString formId; // names the form object for as long as it lives, across readings
    QVector<FormElement> elements;

    bool ok() const { return status == Status::Ok; }
};

// One property to set on a form element read by a snapshot. The element must
// still bear `name` at `index`, or the write is refused.
struct FieldWrite {
    enum class Target { Value, BackgroundColor };
    int index = 0;
    QString name;
    Target target = Target::Value;
    QString text;
};

} // namespace tallyra
