#include "app/MainWindow.h"

#include "core/AppEnvironment.h"
#include "core/AppIcon.h"
#include "core/AppInfo.h"
#include "core/Settings.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/JournalWindow.h"
#include "dialogs/OptionsDialog.h"
#include "import/ImportWizard.h"
#include "page/GradeForm.h"
#include "page/GradePage.h"
#include "platform/Browser.h"
#include "platform/Fonts.h"
#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/Twips.h"

#include <QCloseEvent>
#include <QDateTime>
#include <QStatusBar>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QMenuBar>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QWebEnginePage>

namespace tallyra {

namespace {
constexpr int kClientWidthTwips = 12810;
constexpr int kClientHeightTwips = 8460;
constexpr int kButtonStripTwips = 600;
constexpr int kButtonTopTwips = 0;
constexpr int kButtonHeightTwips = 375;
constexpr int kStartPageWaitMs = 5000;
} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("main"));
    setWindowTitle(designCaption());
    setWindowIcon(AppIcon::icon());

    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    const AppEnvironment &env = AppEnvironment::current();
    m_browser = new Browser(env.persistentBrowserProfile, m_client);
    m_browser->setObjectName(QStringLiteral("WebBrowser1"));

    // Design order left to right; the tab order below is the designed one.
    auto *cmdback = addButton("cmdback", QStringLiteral("上一頁"), 120, 975);
    auto *cmdforward = addButton("cmdforward", QStringLiteral("下一頁"), 1200, 975);
    auto *cmdhome = addButton("cmdhome", QStringLiteral("回主頁"), 2280, 975);
    auto *cmdstop = addButton("cmdstop", QStringLiteral("停止"), 3360, 1095);
    auto *cmdrefresh = addButton("cmdrefresh", QStringLiteral("重新整理"), 4560, 1095);
    auto *command2 = addButton("Command2", QStringLiteral("更新醒目標示"), 5880, 1575);
    auto *command1 = addButton("Command1", QStringLiteral("匯入成績"), 7560, 1695);
    auto *command3 = addButton("Command3", QStringLiteral("選項設定"), 9480, 1215);

    connect(cmdback, &QPushButton::clicked, this, &MainWindow::cmdback_Click);
    connect(cmdforward, &QPushButton::clicked, this, &MainWindow::cmdforward_Click);
    connect(cmdhome, &QPushButton::clicked, this, &MainWindow::cmdhome_Click);
    connect(cmdstop, &QPushButton::clicked, this, &MainWindow::cmdstop_Click);
    connect(cmdrefresh, &QPushButton::clicked, this, &MainWindow::cmdrefresh_Click);
    connect(command1, &QPushButton::clicked, this, &MainWindow::Command1_Click);
    connect(command2, &QPushButton::clicked, this, &MainWindow::Command2_Click);
    connect(command3, &QPushButton::clicked, this, &MainWindow::Command3_Click);

    setTabOrder(m_browser, cmdrefresh);
    setTabOrder(cmdrefresh, cmdstop);
    setTabOrder(cmdstop, cmdhome);
    setTabOrder(cmdhome, cmdforward);
    setTabOrder(cmdforward, cmdback);
    setTabOrder(cmdback, command1);
    setTabOrder(command1, command2);
    setTabOrder(command2, command3);
    m_browser->setFocus();

    buildMenus();

    connect(m_browser, &Browser::WindowClosing, this, &MainWindow::WebBrowser1_WindowClosing);
    connect(m_browser, &Browser::NavigateError, this, &MainWindow::WebBrowser1_NavigateError);
    // What a page tried and was not let do is said here, never asked.
    statusBar()->setObjectName(QStringLiteral("mainStatus"));
    statusBar()->setSizeGripEnabled(false);
    connect(m_browser, &Browser::NavigationRefused, this, [this](const QString &scheme) {
        statusBar()->showMessage(QStringLiteral("已阻止網頁開啟「%1:」連結：Quillo 只開啟網頁，不交給其他程式。").arg(scheme));
    });
    connect(m_browser, &QWebEngineView::urlChanged, this, [this] {
        m_closeRefusals.clear();
        if (m_ignoreCloseRequests) {
            m_ignoreCloseRequests = false;
            statusBar()->clearMessage();
        }
    });

    m_client->installEventFilter(this);
    resize(twipsToPixels(kClientWidthTwips),
           twipsToPixels(kClientHeightTwips) + menuBar()->sizeHint().height() + statusBar()->sizeHint().height());

    Form_Load();
}

MainWindow::~MainWindow() = default;

QString MainWindow::designCaption() { return QStringLiteral("Orvane--成績輸入Quillo"); }

QPushButton *MainWindow::addButton(const char *name, const QString &caption, int left, int width)
{
    auto *button = new QPushButton(caption, m_client);
    button->setObjectName(QString::fromLatin1(name));
    button->setFont(Fonts::ming(11.25));
    button->setGeometry(twipsRect(left, kButtonTopTwips, width, kButtonHeightTwips));
    button->setAutoDefault(false);
    return button;
}

void MainWindow::buildMenus()
{
    QMenu *help = menuBar()->addMenu(QStringLiteral("說明"));
    help->setObjectName(QStringLiteral("Mhelp"));
    QAction *web = help->addAction(QStringLiteral("說明文件"));
    web->setObjectName(QStringLiteral("Mweb"));
    connect(web, &QAction::triggered, this, &MainWindow::Mweb_Click);

    // A top-level item without a menu: clicking it runs the command.
    QAction *options = menuBar()->addAction(QStringLiteral("選項"));
    options->setObjectName(QStringLiteral("Mopt"));
    connect(options, &QAction::triggered, this, &MainWindow::Mopt_Click);

    // Beside 選項, which stays a command of its own: a disabled item until a
    // transfer has something to take back.
    m_undo = menuBar()->addAction(QStringLiteral("復原上次輸入成績"));
    m_undo->setObjectName(QStringLiteral("mnuUndo"));
    m_undo->setEnabled(false);
    connect(m_undo, &QAction::triggered, this, &MainWindow::mnuUndo_Click);
    m_undoCheck = new QTimer(this);
    m_undoCheck->setInterval(1000);
    connect(m_undoCheck, &QTimer::timeout, this, &MainWindow::updateUndo);

    // Beside 復原上次輸入成績: what earlier transfers wrote, read-only.
    QAction *journal = menuBar()->addAction(QStringLiteral("輸入紀錄"));
    journal->setObjectName(QStringLiteral("mnuJournal"));
    connect(journal, &QAction::triggered, this, [this] {
        auto *window = new JournalWindow(AppEnvironment::current().journalPath, this);
        window->show();
    });

    QMenu *file = menuBar()->addMenu(QStringLiteral("關於"));
    file->setObjectName(QStringLiteral("mnuFile"));
    QAction *about = file->addAction(QStringLiteral("關於本程式"));
    about->setObjectName(QStringLiteral("mnuAbout"));
    connect(about, &QAction::triggered, this, &MainWindow::mnuAbout_Click);
    QAction *separator = file->addSeparator();
    separator->setObjectName(QStringLiteral("mnuSep1"));
    QAction *exit = file->addAction(QStringLiteral("離開"));
    exit->setObjectName(QStringLiteral("mnuExit"));
    connect(exit, &QAction::triggered, this, &MainWindow::mnuExit_Click);
}

void MainWindow::Form_Load()
{
    const AppEnvironment &env = AppEnvironment::current();

    m_browser->load(QUrl::fromLocalFile(env.dataFolder + QStringLiteral("/start.htm")));
    waitForStartPage();
    QCoreApplication::processEvents();

    setWindowTitle(windowTitle() + QStringLiteral("( 版本: ") + AppInfo::version() + QLatin1Char(')'));
    QCoreApplication::processEvents();

    LoadSettings();
    QCoreApplication::processEvents();

    m_portalUrl = env.servers.portal;
    m_browser->Navigate(m_portalUrl);
}

void MainWindow::waitForStartPage()
{
    // The engine drops a page still loading when the next navigation starts,
    // so the portal would replace the start page before it ever showed. A
    // local file takes moments; the limit only guards against an engine
    // that never answers.
    QEventLoop loop;
    bool finished = false;
    const auto done = connect(m_browser->page(), &QWebEnginePage::loadFinished, &loop, [&] {
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(kStartPageWaitMs, &loop, &QEventLoop::quit);
    if (!finished)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    disconnect(done);
}

void MainWindow::Form_Resize()
{
    const int strip = twipsToPixels(kButtonStripTwips);
    m_browser->Move(QRect(0, strip, m_client->width(), m_client->height() - strip));
}

void MainWindow::Form_QueryUnload() { SaveSettings(); }

void MainWindow::LoadSettings() { settings() = SettingsFile::load(AppEnvironment::current().settingsFolder); }

void MainWindow::SaveSettings()
{
    const QString folder = AppEnvironment::current().settingsFolder;
    if (SettingsFile::save(folder, settings()) || m_saveFailureShown)
        return;
    // Said once: the settings of this run are lost, and the teacher should know where to look.
    m_saveFailureShown = true;
    MessageBox::warning(this,
                        QStringLiteral("無法儲存設定檔 %1，這次變更的設定沒有保存下來。請確認這個資料夾存在，而且可以寫入。")
                            .arg(QDir::toNativeSeparators(SettingsFile::path(folder))),
                        QStringLiteral("儲存設定"));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_client && event->type() == QEvent::Resize)
        Form_Resize();
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    Form_QueryUnload();
    event->accept();
    // Other top-level windows (gradebook views) must not keep the application alive.
    if (const auto &end = AppEnvironment::current().endApplication)
        end();
}

void MainWindow::cmdback_Click() { m_browser->GoBack(); }
void MainWindow::cmdforward_Click() { m_browser->GoForward(); }

void MainWindow::cmdhome_Click()
{
    m_browser->Navigate(AppEnvironment::current().servers.tis);
}

void MainWindow::cmdstop_Click() { m_browser->Stop(); }
void MainWindow::cmdrefresh_Click() { m_browser->Refresh(); }

bool MainWindow::IsGradePage() { return GradePage::IsGradePage(m_browser); }

bool MainWindow::markColor() { return GradePage::markColor(m_browser); }

void MainWindow::refuseNotAGradePage(const QString &command)
{
    // A page whose script hangs is not the wrong window.
    if (m_browser->lastCallTimedOut()) {
        refuseNotResponding(command);
        return;
    }
    MessageBox::critical(this, QStringLiteral("無法找到相關欄位，請檢查是否在正確的成績輸入視窗!"), QStringLiteral("操作錯誤"));
}

void MainWindow::refuseNotResponding(const QString &command)
{
    MessageBox::warning(this, GradePage::notRespondingText(), command);
}

void MainWindow::Command1_Click()
{
    if (!IsGradePage()) {
        refuseNotAGradePage(QStringLiteral("輸入成績"));
        return;
    }
    ImportWizard wizard(m_browser, this);
    wizard.setWindowModality(Qt::WindowModal);
    wizard.exec();
    if (!wizard.lastTransfer().isEmpty()) {
        m_lastTransfer = wizard.lastTransfer(); // one level: the newest transfer
        updateUndo();
    }
}

void MainWindow::updateUndo()
{
    if (m_lastTransfer.isEmpty()) {
        m_undo->setEnabled(false);
        m_undoCheck->stop();
        return;
    }
    if (!m_undoCheck->isActive())
        m_undoCheck->start();
    // Asked without waiting, so that the check never holds up the teacher.
    const QPointer<MainWindow> self(this);
    const QString expected = m_lastTransfer.formId();
    m_browser->formIdLater(GradePageNames::contentFrame, GradePageNames::scoreForm, [self, expected](const QString &id) {
        if (self && self->m_lastTransfer.formId() == expected)
            self->m_undo->setEnabled(!id.isEmpty() && id == expected);
    });
}

void MainWindow::mnuUndo_Click()
{
    const QString title = QStringLiteral("復原上次輸入成績");
    if (m_lastTransfer.isEmpty())
        return;
    const FormSnapshot now = m_browser->snapshotForm(GradePageNames::contentFrame, GradePageNames::scoreForm);
    const auto restore = m_lastTransfer.restore(now);
    if (!restore) {
        MessageBox::warning(this, QStringLiteral("上次輸入成績的網頁已經不在了(可能已經儲存或重新載入)，無法復原。"), title);
        m_lastTransfer = {};
        updateUndo();
        return;
    }
    const QString handEdited = restore->changedByHand.join(QStringLiteral("、"));
    if (restore->writes.isEmpty()) {
        MessageBox::information(this, QStringLiteral("上次輸入的成績都已經修改過，沒有可以復原的欄位：") + handEdited, title);
        return;
    }
    QString question = QStringLiteral("要把上次輸入成績寫入的欄位復原為輸入前的分數和顏色嗎?");
    if (!handEdited.isEmpty())
        question += QStringLiteral("\r\n\r\n以下學號的成績在輸入後已經修改過，將保留不動：") + handEdited;
    if (!MessageBox::askYesNo(this, question, title))
        return;
    const WriteReport written =
        m_browser->writeForm(GradePageNames::contentFrame, GradePageNames::scoreForm, now, restore->writes,
                             GradeForm::idFields(now.elements));
    if (!written.ok()) {
        MessageBox::warning(this, QStringLiteral("成績輸入網頁已經變更，無法確定是否已經復原，請檢查網頁上的成績!"), title);
        return;
    }
    m_lastTransfer = {};
    updateUndo();
}

void MainWindow::Command2_Click()
{
    if (!IsGradePage()) {
        refuseNotAGradePage(QStringLiteral("更新醒目標示"));
        return;
    }
    auto *button = findChild<QPushButton *>(QStringLiteral("Command2"));
    button->setEnabled(false);
    const bool coloured = markColor();
    button->setEnabled(true);
    if (!coloured && m_browser->lastCallTimedOut()) {
        refuseNotResponding(QStringLiteral("更新醒目標示"));
    } else if (!coloured) {
        MessageBox::critical(this,
                         QStringLiteral("無法更新醒目標示：成績輸入網頁已經變更或無法讀取（或學生超過 254 位），"
                                        "請重新開啟成績輸入畫面後再試一次!"), QStringLiteral("操作錯誤"));
    }
}

void MainWindow::Command3_Click()
{
    OptionsDialog dialog(this);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

void MainWindow::Mopt_Click() { Command3_Click(); }

void MainWindow::mnuAbout_Click()
{
    AboutDialog dialog(this);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.exec();
}

void MainWindow::Mweb_Click()
{
    Shell::open(QUrl(AppEnvironment::current().servers.help));
}

void MainWindow::mnuExit_Click() { close(); }

void MainWindow::WebBrowser1_WindowClosing()
{
    // One question at a time, whichever page or frame asks; a page that is
    // told No twice in a row is not heard again until it navigates.
    if (PageEventScope::busy() || m_ignoreCloseRequests)
        return;
    bool close = false;
    {
        const PageEventScope scope;
        close = MessageBox::askYesNo(this, QStringLiteral("這樣會關閉整個Quillo程式，您確定要關閉嗎?"), QStringLiteral("關閉"));
    }
    if (!close) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        m_closeRefusals.removeIf([now](qint64 t) { return now - t > 10000; });
        m_closeRefusals.push_back(now);
        if (m_closeRefusals.size() >= 2) {
            m_ignoreCloseRequests = true;
            statusBar()->showMessage(QStringLiteral("這個網頁一再要求關閉 Quillo，換頁之前不再詢問。"));
        }
        return;
    }
    // Ending at once would otherwise lose this run's settings.
    SaveSettings();
    if (const auto &end = AppEnvironment::current().endApplication)
        end();
}

void MainWindow::WebBrowser1_NavigateError(const QString &url)
{
    if (!m_portalUrl.isEmpty() && url == m_portalUrl)
        m_browser->Navigate(AppEnvironment::current().servers.school);
}

} // namespace tallyra
