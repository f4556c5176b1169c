#include "dialogs/AboutDialog.h"

#include "core/AppEnvironment.h"
#include "core/AppIcon.h"
#include "core/AppInfo.h"
#include "platform/Fonts.h"
#include "platform/Shell.h"
#include "platform/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>

namespace tallyra {

namespace {

// The contact label belongs to a control array; its index is 3.
constexpr int kContactIndex = 3;

class LinkLabel : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> onClick;

protected:
    void mouseReleaseEvent(QMouseEvent *event) override
    {
        if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint()) && onClick)
            onClick();
        QLabel::mouseReleaseEvent(event);
    }
};

void setTextColour(QLabel *label, const QColor &colour)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, colour);
    label->setPalette(p);
}

} // namespace

AboutDialog::AboutDialog(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                          | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmAbout"));
    setFixedSize(twipsToPixels(5730), twipsToPixels(4110));

    auto *image = new QLabel(this);
    image->setObjectName(QStringLiteral("Image1"));
    image->setGeometry(twipsRect(0, 0, 1425, 1305));
    image->setScaledContents(true);
    image->setPixmap(AppIcon::icon().pixmap(120, 120));

    auto *title = new QLabel(this);
    title->setObjectName(QStringLiteral("lblTitle"));
    title->setGeometry(twipsRect(1530, 240, 3645, 480));
    title->setFont(Fonts::kai(15.75));
    setTextColour(title, QColor(0x00, 0x80, 0x80));

    auto *version = new QLabel(this);
    version->setObjectName(QStringLiteral("lblVersion"));
    version->setGeometry(twipsRect(1530, 780, 3525, 225));
    version->setFont(Fonts::ming(9.75));

    auto *licence = new QLabel(QStringLiteral("本程式是自由軟體，依 GNU 通用公共授權條款第 3 版或更新版本 (GPL-3.0-or-later) 發布。"),
                               this);
    licence->setObjectName(QStringLiteral("lblLicense"));
    licence->setGeometry(twipsRect(1530, 1080, 3960, 480));
    licence->setFont(Fonts::ming(9));
    licence->setWordWrap(true);

    // The school's IT person checks here which system servers.ini made this copy open.
    const QString portalUrl = AppEnvironment::current().servers.portal;
    auto *portal = new QLabel(this);
    portal->setObjectName(QStringLiteral("lblPortal"));
    portal->setGeometry(twipsRect(120, 1920, 5490, 285));
    portal->setFont(Fonts::ming(9));
    portal->setTextInteractionFlags(Qt::TextSelectableByMouse);
    portal->setToolTip(portalUrl);
    portal->setText(portal->fontMetrics().elidedText(QStringLiteral("入口網站：") + portalUrl, Qt::ElideMiddle,
                                                     portal->width()));

    auto *contact = new LinkLabel(QStringLiteral("連絡：") + AppEnvironment::current().servers.authorMail, this);
    contact->setObjectName(QStringLiteral("Label2"));
    QFont contactFont = Fonts::tahoma(12);
    contactFont.setUnderline(true);
    contact->setFont(contactFont);
    setTextColour(contact, QColor(0x00, 0x00, 0xFF));
    contact->setCursor(Qt::PointingHandCursor);
    contact->onClick = [this] { Label2_Click(kContactIndex); };
    // As wide as the address needs, never narrower than designed; a long
    // address moves left rather than being cut off at the window's edge.
    const QRect designed = twipsRect(1440, 2520, 2265, 285);
    const int margin = twipsToPixels(120);
    const int contactWidth = std::min(std::max(designed.width(), contact->sizeHint().width()), width() - 2 * margin);
    contact->setGeometry(std::min(designed.x(), width() - margin - contactWidth), designed.y(), contactWidth,
                         designed.height());

    auto *description = new QLabel(
        QStringLiteral("把成績冊的分數依學號填入教師資訊系統的成績頁面，列出需要留意的學生，並以顏色標示分數等級。"), this);
    description->setObjectName(QStringLiteral("lblDescription"));
    description->setGeometry(twipsRect(120, 3360, 3885, 690));
    description->setFont(Fonts::ming(9.75));
    description->setWordWrap(true);
    setTextColour(description, Qt::black);

    auto *ok = new QPushButton(QStringLiteral("確定"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    ok->setGeometry(twipsRect(4200, 3600, 1260, 345));
    ok->setDefault(true); // Enter presses it; Escape rejects the dialog, which closes it the same way
    connect(ok, &QPushButton::clicked, this, &AboutDialog::cmdOK_Click);
    ok->setFocus();

    Form_Load();
}

void AboutDialog::Form_Load()
{
    if (const QScreen *screen = (parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen())) {
        const QRect area = screen->geometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
    setWindowTitle(QStringLiteral("關於 ") + AppInfo::title());
    findChild<QLabel *>(QStringLiteral("lblVersion"))->setText(QStringLiteral("版本 ") + AppInfo::version());
    findChild<QLabel *>(QStringLiteral("lblTitle"))->setText(AppInfo::title());
}

void AboutDialog::cmdOK_Click() { accept(); }

void AboutDialog::Label2_Click(int index)
{
    if (index != kContactIndex)
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    Shell::open(QUrl(QStringLiteral("mailto:") + AppEnvironment::current().servers.authorMail));
    QApplication::restoreOverrideCursor();
}

void AboutDialog::paintEvent(QPaintEvent *event)
{
    QDialog::paintEvent(event);
    // The etched rule: a grey line with a white one just below it.
    QPainter p(this);
    const int y = twipsToPixels(3120);
    p.setPen(QPen(QColor(0x80, 0x80, 0x80), 1));
    p.drawLine(twipsToPixels(120), y, twipsToPixels(5684), y);
    p.setPen(QPen(Qt::white, 2));
    p.drawLine(twipsToPixels(105), y + 1, twipsToPixels(5654), y + 1);
}

} // namespace tallyra
