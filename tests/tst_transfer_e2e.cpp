#include "support/CalcSupport.h"
#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "import/ImportWizard.h"
#include "import/TransferJournal.h"
#include "import/PreviewDialog.h"
#include "platform/Browser.h"
#include "platform/FileDialog.h"
#include "platform/Shell.h"
#include "platform/calc/OfficeProcess.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"
#include "platform/workbook/WorkbookWindow.h"

#include <xlsxwriter.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QJsonArray>
#include <QLabel>
#include <QMenuBar>
#include <QTableWidget>
#include <QJsonDocument>
#include <QStatusBar>
#include <QTabWidget>
#include <QDate>
#include <QLocale>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using tallyra::Browser;
using tallyra::EmbeddedSpreadsheet;
using tallyra::ImportWizard;
using tallyra::MainWindow;
using tallyra::Settings;
using namespace tallyra::test;

namespace {

const QString kDemoBooks = QStringLiteral(TALLYRA_TEST_SOURCE_DIR "/../demo/gradebooks/示範成績冊");

void choose(QComboBox *list, int index)
{
    list->setCurrentIndex(index);
    emit list->activated(index);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// "title|icon|text" of every box shown.
QStringList describe(const QVector<tallyra::MessageBox::Request> &boxes)
{
    QStringList out;
    for (const auto &b : boxes)
        out << QStringLiteral("%1|%2|%3").arg(b.title).arg(int(b.icon)).arg(b.text);
    return out;
}

QString box(const char *title, QMessageBox::Icon icon, const QString &text)
{
    return QStringLiteral("%1|%2|%3").arg(QString::fromUtf8(title)).arg(int(icon)).arg(text);
}

const QString kPartial = QStringLiteral("您指定的分數已經輸入到「教師資訊系統」中，部份成績無法輸入!!");
const QString kSuccess = QStringLiteral("您指定的分數已經成功輸入到「教師資訊系統」中!");
const QString kRefusal = QStringLiteral("Quillo無法輸入成績!!\r\n無法找到相關欄位，請檢查是否在正確的成績輸入視窗!");
const QString kPageChanged = QStringLiteral("成績輸入網頁已經變更，沒有輸入任何成績。請重新開啟成績輸入網頁後再試一次。");

QString reminder(const char *button)
{
    return QStringLiteral("再次提醒您，還要按下「") + QString::fromUtf8(button) + QStringLiteral("」才會真正把成績存到「教師資訊系統」中哦！");
}

} // namespace

class TestTransferEndToEnd : public QObject {
    Q_OBJECT

    DemoSiteProcess m_site;
    CalcOffices m_offices;
    QTemporaryDir m_fixtures;
    QTemporaryDir m_books;
    std::unique_ptr<TestEnvironment> m_env;
    std::unique_ptr<MainWindow> m_main;
    std::unique_ptr<MessageBoxScript> m_boxes;
    QList<QUrl> m_opened;
    QString m_nextFile;
    QString m_pressButton = QStringLiteral("Command5"); // 輸入成績, or 預覽

    QString report() const { return m_env->env.reportPath; }
    QVector<tallyra::JournalEntry> journal() const
    {
        return tallyra::TransferJournal(m_env->env.journalPath).load().entries;
    }
    Browser *browser() const { return m_main->WebBrowser1(); }

    // The values of every field of that name, in document order.
    QStringList values(const QString &name)
    {
        return runInPage(browser(), QStringLiteral("(function () { const f = window.frames['FCONTENT'].document.forms.wlist;"
                                                   " return Array.from(f.elements).filter(e => e.name === '%1')"
                                                   ".map(e => e.value).join('|'); })()").arg(name))
            .toString()
            .split(QLatin1Char('|'));
    }

    QString value(const QString &name) { return values(name).value(0); }

    QString background(const QString &name)
    {
        return runInPage(browser(), QStringLiteral("window.frames['FCONTENT'].document.forms.wlist['%1'].style.backgroundColor").arg(name))
            .toString();
    }

    // Walks the wizard from the main window's 匯入成績 and presses 輸入成績.
    // `afterPress` sees a wizard that is still open after the press, and closes it.
    void transfer(const QString &workbook, const QString &sheet, const QString &idLetter, const QString &scoreLetter,
                  const std::function<void(ImportWizard &)> &beforePress = {},
                  const std::function<void(ImportWizard &)> &afterPress = {})
    {
        m_nextFile = workbook;
        bool pressed = false;
        bool leftOpen = false; // the wizard stayed open after the press, unasked
        QTimer driver;
        driver.setInterval(20);
        connect(&driver, &QTimer::timeout, this, [&] {
            auto *wizard = qobject_cast<ImportWizard *>(QApplication::activeModalWidget());
            if (!wizard)
                return;
            driver.stop();
            QTest::mouseClick(wizard->findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
            auto *sheets = wizard->findChild<QComboBox *>(QStringLiteral("Combo1"));
            choose(sheets, sheets->findText(sheet));
            auto *ids = wizard->findChild<QComboBox *>(QStringLiteral("Combo2"));
            choose(ids, ids->findText(idLetter));
            auto *scores = wizard->findChild<QComboBox *>(QStringLiteral("Combo3"));
            choose(scores, scores->findText(scoreLetter));
            auto *press = wizard->findChild<QPushButton *>(QStringLiteral("Command5"));
            if (!press->isVisible()) {
                wizard->Command1_Click();
                return;
            }
            if (beforePress)
                beforePress(*wizard);
            pressed = true;
            QTest::mouseClick(wizard->findChild<QPushButton *>(m_pressButton), Qt::LeftButton);
            if (QApplication::activeModalWidget() == wizard) {
                leftOpen = !afterPress;
                if (afterPress)
                    afterPress(*wizard);
                wizard->Command1_Click();
            }
        });
        driver.start();
        QTest::mouseClick(m_main->findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        driver.stop();
        QVERIFY(pressed);
        QVERIFY(!leftOpen);
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Presses the page's own save button and reads the page the site sends back.
    void saveWithThePagesButton(const QString &buttonValue)
    {
        runInPage(browser(), QStringLiteral("Array.from(window.frames['FCONTENT'].document.forms.wlist.elements)"
                                            ".find(e => e.value === '%1').click()").arg(buttonValue));
        QTRY_VERIFY_WITH_TIMEOUT(runInPage(browser(), QStringLiteral(
                                     "(function () { try { return !!window.frames['FCONTENT'].document.getElementById('saved')"
                                     " && window.frames['FCONTENT'].document.readyState === 'complete'; } catch (e) { return false; } })()"))
                                     .toBool(),
                                 15000);
    }

    QString writeBook(const QString &name, const QList<QPair<QString, double>> &rows)
    {
        const QString path = m_books.filePath(name);
        lxw_workbook *book = workbook_new(path.toLocal8Bit().constData());
        lxw_worksheet *ws = workbook_add_worksheet(book, "成績");
        int r = 0;
        for (const auto &row : rows) {
            worksheet_write_string(ws, r, 0, row.first.toUtf8().constData(), nullptr);
            worksheet_write_number(ws, r, 1, row.second, nullptr);
            r = r == 3 ? 299 : r + 1; // the fifth row lands in row 300
        }
        workbook_close(book);
        return path;
    }

    // One sheet per entry, a row per (ID, score): a score is a number, a
    // text or a boolean as the variant holds it.
    using Rows = QList<QPair<QString, QVariant>>;
    QString writeSheets(const QString &name, const QList<QPair<QString, Rows>> &sheets)
    {
        const QString path = m_books.filePath(name);
        lxw_workbook *book = workbook_new(path.toLocal8Bit().constData());
        for (const auto &sheet : sheets) {
            lxw_worksheet *ws = workbook_add_worksheet(book, sheet.first.toUtf8().constData());
            int r = 0;
            for (const auto &row : sheet.second) {
                worksheet_write_string(ws, r, 0, row.first.toUtf8().constData(), nullptr);
                const QVariant &v = row.second;
                if (v.typeId() == QMetaType::Bool)
                    worksheet_write_boolean(ws, r, 1, v.toBool(), nullptr);
                else if (v.typeId() == QMetaType::QString)
                    worksheet_write_string(ws, r, 1, v.toString().toUtf8().constData(), nullptr);
                else
                    worksheet_write_number(ws, r, 1, v.toDouble(), nullptr);
                ++r;
            }
        }
        workbook_close(book);
        return path;
    }

    QString twoTerms(const QString &name, int firstTerm = 81)
    {
        return writeSheets(name, {{QStringLiteral("期中"), {{"0123", firstTerm}, {"0456", firstTerm + 1}, {"1789", firstTerm + 2}}},
                                  {QStringLiteral("期末"), {{"0123", 11}, {"0456", 12}, {"1789", 13}}}});
    }

    QStringList basicPage() { return values("S0123") + values("S0456") + values("S1789"); }

    // A transfer of `book` that a change of the page sends back to the
    // column step, with the one warning that says so.
    void transferSentBack(const QString &book)
    {
        bool backAtColumns = false;
        transfer(book, QStringLiteral("成績"), "A", "B", {}, [&](ImportWizard &wizard) {
            backAtColumns = wizard.findChild<QPushButton *>(QStringLiteral("Command5"))->isVisible();
        });
        browser()->beforeWrite = {};
        QVERIFY(backAtColumns);
        QCOMPARE(describe(m_boxes->shown()), QStringList{box("輸入成績", QMessageBox::Warning, kPageChanged)});
    }

    void useSpreadsheet(bool calc)
    {
        if (calc && !m_offices.whyNot().isEmpty())
            QSKIP(qPrintable(m_offices.whyNot()));
        tallyra::Spreadsheet::setFactory(calc ? m_offices.factory() : tallyra::Spreadsheet::Factory(&EmbeddedSpreadsheet::start));
    }

    // The instance the wizard started, whichever kind it is.
    std::shared_ptr<tallyra::Spreadsheet> wizardsSpreadsheet(bool calc)
    {
        if (calc)
            return m_offices.started().back();
        return EmbeddedSpreadsheet::running().back();
    }

    void bothSpreadsheets()
    {
        QTest::addColumn<bool>("calc");
        QTest::newRow("embedded") << false;
        QTest::newRow("calc") << true;
    }

    // Each committed workbook through each spreadsheet.
    void bothSpreadsheetsFor(std::initializer_list<const char *> files)
    {
        QTest::addColumn<bool>("calc");
        QTest::addColumn<QString>("file");
        for (const char *file : files) {
            QTest::addRow("embedded %s", file) << false << QString::fromLatin1(file);
            QTest::addRow("calc %s", file) << true << QString::fromLatin1(file);
        }
    }

    QAction *undoAction() { return m_main->findChild<QAction *>(QStringLiteral("mnuUndo")); }

private slots:
    void initTestCase()
    {
        QVERIFY(m_site.start(copyFixtures(m_fixtures)));
        tallyra::FileDialog::setHandler([this](const tallyra::FileDialog::Request &) { return m_nextFile; });
        tallyra::Shell::setHandler([this](const QUrl &url) { m_opened << url; });
        m_offices.prepare();
    }

    void init()
    {
        // The embedded reader unless a test asks for Calc.
        tallyra::Spreadsheet::setFactory(&EmbeddedSpreadsheet::start);
        m_env = std::make_unique<TestEnvironment>(m_site.server());
        m_env->apply();
        m_boxes = std::make_unique<MessageBoxScript>();
        m_opened.clear();
        m_main = std::make_unique<MainWindow>();
        m_main->show();
        tallyra::settings() = Settings::defaults();
    }

    void cleanup()
    {
        m_pressButton = QStringLiteral("Command5");
        tallyra::PreviewDialogs::setHandler({});
        m_main.reset();
        m_boxes.reset();
        for (const auto &instance : EmbeddedSpreadsheet::running())
            instance->quit();
        m_offices.endAll();
        m_env.reset();
        QTest::qWait(0);
    }

    void cleanupTestCase()
    {
        tallyra::FileDialog::setHandler({});
        tallyra::Shell::setHandler({});
    }

    void perStudentPageFromXlsx()
    {
        QVERIFY(openDemoClass(browser(), m_site, QStringLiteral("301")));
        transfer(kDemoBooks + QStringLiteral(".xlsx"), QStringLiteral("三年一班國文"), "B", "E");

        QCOMPARE(value("S091001"), QStringLiteral("82"));
        QCOMPARE(value("S091002"), QStringLiteral("73"));
        QCOMPARE(value("S091003"), QString()); // empty cell
        QCOMPARE(value("S091005"), QString()); // 缺考
        QCOMPARE(value("S091008"), QString()); // -5
        QCOMPARE(value("S091011"), QString()); // 105
        QCOMPARE(value("S091014"), QStringLiteral("59")); // 58.5
        QCOMPARE(value("S091017"), QStringLiteral("58"));
        QCOMPARE(value("S091020"), QString()); // not in the gradebook
        QCOMPARE(background("S091014"), QStringLiteral("rgb(255, 255, 128)")); // highlighted
        QCOMPARE(background("S091008"), QStringLiteral("rgb(128, 128, 255)"));

        QCOMPARE(describe(m_boxes->shown()),
                 (QStringList{box("Quillo", QMessageBox::Warning, kPartial),
                              box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))}));
        QCOMPARE(m_opened, QList<QUrl>{QUrl::fromLocalFile(report())});

        const QString text = QString::fromUtf8(readFile(report()));
        const QString date = QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat);
        QVERIFY2(text.startsWith(date + QStringLiteral("\r\n==== Quillo: 成績輸入異常狀況回報 ====\r\n"
                                                        "請注意！成績冊中學號 091003 的分數欄內沒有任何資料!\r\n"
                                                        "請注意！成績冊中學號 091005 的分數欄內不是數值資料!\r\n"
                                                        "請注意！成績冊中學號 091008 的分數欄內為負分!\r\n"
                                                        "請注意！成積冊中學號 091011 的分數欄內資料超過100分!\r\n"
                                                        "請注意！Quillo在成績冊中找不到學號 091020 !\r\n\r\n\r\n\r\n\r\n"
                                                        "==== Quillo: 提醒您注意以下成績 ====\r\n")),
                 qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("請注意! 學號 091014 的成績剛好在及格邊緣! (59分)\r\n")));
        QVERIFY(text.contains(QStringLiteral("請注意! 學號 091017 的成績剛好在及格邊緣! (58分)\r\n")));
        QVERIFY(text.endsWith(QStringLiteral("分)\r\n\r\n")));
        // Anomalies keep the gradebook open whatever AutoClose says.
        QCOMPARE(EmbeddedSpreadsheet::running().size(), size_t(1));

        // The page's own button stores exactly what Tallyra wrote.
        QStringList written;
        for (int seat = 1; seat <= 36; ++seat)
            written << value(QStringLiteral("S%1").arg(91000 + seat, 6, 10, QLatin1Char('0')));
        saveWithThePagesButton(QStringLiteral("暫時儲存成績"));
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/teacher/grade.asp?class=301")))));
        QStringList stored;
        for (int seat = 1; seat <= 36; ++seat) {
            const QString id = QStringLiteral("%1").arg(91000 + seat, 6, 10, QLatin1Char('0'));
            stored << runInPage(browser(), QStringLiteral("document.forms.wlist['S%1'].value").arg(id)).toString();
        }
        QCOMPARE(stored, written);
        QCOMPARE(written.count(QString()), 5);
    }

    // The same gradebook through Calc fills the page and writes the report
    // exactly as the embedded reader does.
    void calcReadsWhatTheEmbeddedReaderReads()
    {
        if (!m_offices.whyNot().isEmpty())
            QSKIP(qPrintable(m_offices.whyNot()));
        QStringList filled[2];
        QByteArray reports[2];
        for (int run = 0; run < 2; ++run) {
            tallyra::Spreadsheet::setFactory(run == 0 ? tallyra::Spreadsheet::Factory(&EmbeddedSpreadsheet::start)
                                                      : m_offices.factory());
            QFile::remove(report());
            QVERIFY(openDemoClass(browser(), m_site, QStringLiteral("301")));
            transfer(kDemoBooks + QStringLiteral(".ods"), QStringLiteral("三年一班國文"), "B", "E");
            for (int seat = 1; seat <= 36; ++seat)
                filled[run] << value(QStringLiteral("S%1").arg(91000 + seat, 6, 10, QLatin1Char('0')));
            reports[run] = readFile(report());
        }
        QCOMPARE(m_offices.started().size(), size_t(1));
        QCOMPARE(filled[1], filled[0]);
        QCOMPARE(filled[1].count(QString()), 5);
        QCOMPARE(reports[1], reports[0]);
        // Anomalies keep the gradebook open in Calc.
        QVERIFY(tallyra::OfficeProcess::isAlive(m_offices.started().front()->processId()));
        QCOMPARE(m_offices.started().front()->sheetCount(), 4);
    }

    void calcAutoClose_data()
    {
        QTest::addColumn<bool>("edited");
        QTest::newRow("unchanged: Tallyra's office ends") << false;
        QTest::newRow("edited in Calc: left open") << true;
    }

    void calcAutoClose()
    {
        QFETCH(bool, edited);
        if (!m_offices.whyNot().isEmpty())
            QSKIP(qPrintable(m_offices.whyNot()));
        tallyra::settings().AutoClose = 1;
        tallyra::settings().ReadOnly = 0;
        const auto teachersOwn = m_offices.start(); // another office, not the wizard's
        QVERIFY(teachersOwn);
        tallyra::Spreadsheet::setFactory(m_offices.factory());
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeBook(QStringLiteral("calc.xlsx"), {{"0123", 77}, {"0456", 88}, {"1789", 100}});
        transfer(book, QStringLiteral("成績"), "A", "B", [&](ImportWizard &) {
            if (edited)
                QVERIFY(m_offices.started().back()->enterText(1, 3, QStringLiteral("備註")));
        });
        QCOMPARE(values("S0123") + values("S0456") + values("S1789"), (QStringList{"77", "88", "100"}));
        QCOMPARE(describe(m_boxes->shown()),
                 (QStringList{box("Quillo", QMessageBox::Information, kSuccess),
                              box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))}));
        QCOMPARE(m_offices.started().size(), size_t(2));
        const auto wizards = m_offices.started().back();
        QCOMPARE(tallyra::OfficeProcess::isAlive(wizards->processId()), edited);
        if (edited)
            QCOMPARE(wizards->hasUnsavedChanges(), true);
        QVERIFY(tallyra::OfficeProcess::isAlive(teachersOwn->processId()));
    }

    void sharedNamePageFromXls()
    {
        QVERIFY(openDemoClass(browser(), m_site, QStringLiteral("302")));
        transfer(kDemoBooks + QStringLiteral(".xls"), QStringLiteral("三年二班數學"), "B", "E");
        const QStringList written = values(QStringLiteral("STD"));
        QCOMPARE(written.size(), 40);
        QCOMPARE(written.count(QString()), 5);
        QCOMPARE(written[13], QStringLiteral("59"));
        QCOMPARE(describe(m_boxes->shown()).last(), box("Quillo", QMessageBox::Information, reminder("送出期中評量")));
        saveWithThePagesButton(QStringLiteral("送出期中評量"));
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/teacher/grade.asp?class=302")))));
        const QString stored = runInPage(browser(), QStringLiteral(
            "Array.from(document.forms.wlist.elements).filter(e => e.name === 'STD').map(e => e.value).join('|')")).toString();
        QCOMPARE(stored.split(QLatin1Char('|')), written);
    }

    void odsGradebook()
    {
        QVERIFY(openDemoClass(browser(), m_site, QStringLiteral("205")));
        transfer(kDemoBooks + QStringLiteral(".ods"), QStringLiteral("二年五班英文"), "B", "E");
        QCOMPARE(value("S111514"), QStringLiteral("59"));
        QCOMPARE(value("S111511"), QString());
        QVERIFY(readFile(report()).contains("111520 !"));
    }

    void wholeCellMatchingDuplicatesAndRow300()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/trap-frameset.html")))));
        const QString book = writeBook(QStringLiteral("trap.xlsx"),
                                       {{"12", 40}, {"123", 90}, {"7", 50}, {"7", 51}, {"0999", 61}});
        transfer(book, QStringLiteral("成績"), "A", "B");
        QCOMPARE(value("S12"), QStringLiteral("40"));
        QCOMPARE(value("S123"), QStringLiteral("90"));
        QCOMPARE(value("S7"), QString());
        QCOMPARE(value("S0999"), QStringLiteral("61"));
        QVERIFY(readFile(report()).contains(QStringLiteral("請注意！成績冊中學號 7 出現在多個列，無法確定分數!\r\n").toUtf8()));
    }

    void cleanTransfer_data()
    {
        QTest::addColumn<int>("autoClose");
        QTest::addColumn<int>("autoMark");
        QTest::newRow("close and highlight") << 1 << 1;
        QTest::newRow("keep open, no highlight") << 0 << 0;
    }

    void cleanTransfer()
    {
        QFETCH(int, autoClose);
        QFETCH(int, autoMark);
        tallyra::settings().AutoClose = quint8(autoClose);
        tallyra::settings().AutoMark = quint8(autoMark);
        {
            QFile earlier(report());
            QVERIFY(earlier.open(QIODevice::WriteOnly));
            earlier.write("earlier\r\n");
        }
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeBook(QStringLiteral("clean.xlsx"), {{"0123", 77}, {"0456", 88}, {"1789", 100}});
        transfer(book, QStringLiteral("成績"), "A", "B");
        QCOMPARE(values("S0123") + values("S0456") + values("S1789"), (QStringList{"77", "88", "100"}));
        QCOMPARE(describe(m_boxes->shown()),
                 (QStringList{box("Quillo", QMessageBox::Information, kSuccess),
                              box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))}));
        QVERIFY(m_opened.isEmpty());
        QCOMPARE(readFile(report()), QByteArray("earlier\r\n"));
        QCOMPARE(EmbeddedSpreadsheet::running().empty(), autoClose == 1);
        QCOMPARE(background("S0123").isEmpty(), autoMark == 0);

        const auto entries = journal();
        QCOMPARE(entries.size(), 1);
        const tallyra::JournalEntry &e = entries.first();
        QCOMPARE(e.pageUrl, m_site.url(QStringLiteral("/fixtures/grade-frameset.html")));
        QCOMPARE(e.pageTitle, QStringLiteral("教師資訊系統（測試）"));
        QCOMPARE(e.gradebook, book);
        QCOMPARE(QStringList({e.sheet, e.idColumn, e.scoreColumn}), (QStringList{"成績", "A", "B"}));
        QCOMPARE(QList<int>({e.written, e.emptied, e.anomalies, e.borderline}), (QList<int>{3, 0, 0, 0}));
        QVERIFY(e.report.isEmpty());
        QCOMPARE(e.students, (QVector<tallyra::JournalEntry::Student>{{"0123", "77", "77"}, {"0456", "88", ""}, {"1789", "100", "59.5"}}));
        QVERIFY(qAbs(e.when.secsTo(QDateTime::currentDateTime())) < 120);
    }

    void refusedPages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::newRow("no students") << "/fixtures/shared-no-ids-frameset.html";
        QTest::newRow("empty form after the check") << "/fixtures/grade-frameset.html";
    }

    void refusedPages()
    {
        QFETCH(QString, page);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(page))));
        const bool replaceForm = page.contains(QStringLiteral("grade-frameset"));
        transfer(kDemoBooks + QStringLiteral(".xlsx"), QStringLiteral("三年一班國文"), "B", "E", [&](ImportWizard &) {
            if (replaceForm) // the page went away between opening the wizard and the press
                runInPage(browser(), QStringLiteral("window.frames['FCONTENT'].document.forms.wlist.remove()"));
        });
        QCOMPARE(describe(m_boxes->shown()), QStringList{box("錯誤", QMessageBox::Critical, kRefusal)});
        QVERIFY(!QFile::exists(report()));
        QVERIFY(m_opened.isEmpty());
        QVERIFY(!QFile::exists(m_env->env.journalPath)); // refused: nothing to record
    }

    void pageReloadedBetweenReadAndWrite()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeBook(QStringLiteral("reload.xlsx"), {{"0123", 10}, {"0456", 20}, {"1789", 30}});
        browser()->beforeWrite = [this] {
            // Mark the old document, reload, and wait until a new one has replaced it.
            runInPage(browser(), QStringLiteral("window.frames['FCONTENT'].document.oldPage = true;"
                                                "window.frames['FCONTENT'].location.reload()"));
            QTRY_VERIFY_WITH_TIMEOUT(runInPage(browser(), QStringLiteral(
                "(function () { try { const d = window.frames['FCONTENT'].document;"
                " return !d.oldPage && d.readyState === 'complete' && !!d.forms.wlist; } catch (e) { return false; } })()")).toBool(),
                15000);
        };
        transferSentBack(book);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(values("S0123") + values("S0456") + values("S1789"), (QStringList{"77", "", "59.5"}));
        QCOMPARE(EmbeddedSpreadsheet::running().size(), size_t(1));
    }

    void gradebookClosedBeforeThePress_data() { bothSpreadsheets(); }

    // The gradebook, not the page, is named: back to choosing the file.
    void gradebookClosedBeforeThePress()
    {
        QFETCH(bool, calc);
        useSpreadsheet(calc);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeBook(QStringLiteral("closed.xlsx"), {{"0123", 10}});
        bool backAtFile = false;
        transfer(book, QStringLiteral("成績"), "A", "B", [&](ImportWizard &) {
            if (calc)
                QVERIFY(wizardsSpreadsheet(true)->closeActiveWorkbook());
            else
                EmbeddedSpreadsheet::running().back()->window()->close();
        }, [&](ImportWizard &wizard) {
            backAtFile = wizard.findChild<QComboBox *>(QStringLiteral("Combo1"))->isVisible()
                         && !wizard.findChild<QComboBox *>(QStringLiteral("Combo2"))->isVisible();
        });
        QVERIFY(backAtFile);
        QCOMPARE(describe(m_boxes->shown()),
                 QStringList{box("輸入成績", QMessageBox::Warning, QStringLiteral("無法讀取成績冊，請重新選擇檔案。"))});
        QCOMPARE(value("S0123"), QStringLiteral("77"));
        QVERIFY(!QFile::exists(report()));
    }

    void reportThatCannotBeWritten()
    {
        QVERIFY(QDir().mkpath(report())); // a folder where the file should go
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        // Two of the three students found: the column check has nothing to ask.
        const QString book = writeBook(QStringLiteral("nowrite.xlsx"), {{"0123", 10}, {"0456", 20}});
        transfer(book, QStringLiteral("成績"), "A", "B");
        QCOMPARE(describe(m_boxes->shown()),
                 (QStringList{box("Quillo", QMessageBox::Warning, kPartial),
                              box("Quillo", QMessageBox::Warning, QStringLiteral("無法寫入報告檔 ") + report() + QStringLiteral("!")),
                              box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))}));
        QVERIFY(m_opened.isEmpty());
    }

    // Two transfers, two records, the report's text and the emptied fields
    // among them; then a journal that cannot be written leaves the transfer
    // as it was and is said on the status line.
    void journalOfTransfers()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeBook(QStringLiteral("journal.xlsx"), {{"0123", 10}, {"0456", 20}});
        transfer(book, QStringLiteral("成績"), "A", "B");
        transfer(book, QStringLiteral("成績"), "A", "B");
        auto entries = journal();
        QCOMPARE(entries.size(), 2);
        const tallyra::JournalEntry &e = entries.last();
        QCOMPARE(QList<int>({e.written, e.emptied, e.anomalies, e.borderline}), (QList<int>{2, 1, 1, 0}));
        QCOMPARE(entries.first().students.last(), (tallyra::JournalEntry::Student{"1789", "", "59.5"}));
        QCOMPARE(e.students.last(), (tallyra::JournalEntry::Student{"1789", "", ""}));
        QCOMPARE(e.students.first(), (tallyra::JournalEntry::Student{"0123", "10", "10"})); // after the first transfer
        QVERIFY(e.report.contains(QStringLiteral("1789")));

        m_boxes->clear();
        const QString folder = QFileInfo(m_env->env.journalPath).path();
        QVERIFY(QDir(folder).removeRecursively());
        QFile blocker(folder); // a file where the journal's folder should be
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QStringList status;
        transfer(book, QStringLiteral("成績"), "A", "B", [&](ImportWizard &wizard) {
            connect(wizard.findChild<QStatusBar *>(QStringLiteral("StatusBar1")), &QStatusBar::messageChanged, this,
                    [&](const QString &text) { status << text; });
        });
        QCOMPARE(describe(m_boxes->shown()),
                 (QStringList{box("Quillo", QMessageBox::Warning, kPartial),
                              box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))}));
        QCOMPARE(values("S0123") + values("S0456"), (QStringList{"10", "20"}));
        const QString failure = QStringLiteral("無法寫入輸入紀錄 %1，這次輸入沒有記錄下來。").arg(m_env->env.journalPath);
        QVERIFY2(status.contains(failure), qPrintable(status.join(QLatin1Char('\n'))));
        QCOMPARE(status.last(), failure); // still shown while the closing boxes are
    }

    void chosenSheetIsRead_data() { bothSpreadsheets(); }

    // The teacher clicks another sheet's tab after choosing: the chosen one is still read, and shown again.
    void chosenSheetIsRead()
    {
        QFETCH(bool, calc);
        useSpreadsheet(calc);
        tallyra::settings().AutoClose = 0;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        transfer(twoTerms(QStringLiteral("terms.xlsx")), QStringLiteral("期中"), "A", "B", [&](ImportWizard &) {
            if (calc)
                QVERIFY(m_offices.started().back()->activateSheet(2));
            else
                EmbeddedSpreadsheet::running().back()->window()->tabs()->setCurrentIndex(1);
            QCOMPARE(wizardsSpreadsheet(calc)->cell(1, 2)->textForm(), QStringLiteral("11"));
        });
        QCOMPARE(basicPage(), (QStringList{"81", "82", "83"}));
        QCOMPARE(wizardsSpreadsheet(calc)->cell(1, 2)->textForm(), QStringLiteral("81"));
    }

    void goneSheetIsRefused_data() { bothSpreadsheets(); }

    // Deleted in Calc, or gone from a file saved again: nothing is written, step 2 again.
    void goneSheetIsRefused()
    {
        QFETCH(bool, calc);
        useSpreadsheet(calc);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = twoTerms(QStringLiteral("gone.xlsx"));
        QStringList sheetsOffered;
        transfer(book, QStringLiteral("期中"), "A", "B", [&](ImportWizard &) {
            if (calc) {
                QVERIFY(m_offices.started().back()->removeSheet(1));
            } else {
                writeSheets(QStringLiteral("gone.xlsx"), {{QStringLiteral("期末"), {{"0123", 11}}}});
                QFile(book).setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
            }
        }, [&](ImportWizard &wizard) {
            auto *sheets = wizard.findChild<QComboBox *>(QStringLiteral("Combo1"));
            for (int i = 0; i < sheets->count(); ++i)
                sheetsOffered << sheets->itemText(i);
            QVERIFY(!wizard.findChild<QComboBox *>(QStringLiteral("Combo2"))->isVisible());
            QVERIFY(!wizard.findChild<QPushButton *>(QStringLiteral("Command5"))->isVisible());
        });
        QCOMPARE(describe(m_boxes->shown()),
                 QStringList{box("輸入成績", QMessageBox::Warning,
                                 QStringLiteral("成績冊中已經找不到所選的工作表「期中」(可能已被刪除、改名或移動)，"
                                                "沒有輸入任何成績，請重新選擇工作表!"))});
        QCOMPARE(sheetsOffered, (QStringList{ImportWizard::sheetPrompt(), QStringLiteral("期末")}));
        QCOMPARE(basicPage(), (QStringList{"77", "", "59.5"}));
        QVERIFY(!QFile::exists(report()));
    }

    void editInCalcIsSeen()
    {
        useSpreadsheet(true);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        transfer(twoTerms(QStringLiteral("edit.xlsx")), QStringLiteral("期中"), "A", "B", [&](ImportWizard &) {
            QVERIFY(m_offices.started().back()->enterText(2, 2, QStringLiteral("95")));
        });
        QCOMPARE(basicPage(), (QStringList{"81", "95", "83"}));
    }

    // Saved again from another program after it was opened: the new scores are written and shown.
    void replacedFileIsReadAgain()
    {
        useSpreadsheet(false);
        tallyra::settings().AutoClose = 0;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = twoTerms(QStringLiteral("replaced.xlsx"));
        transfer(book, QStringLiteral("期中"), "A", "B", [&](ImportWizard &) {
            twoTerms(QStringLiteral("replaced.xlsx"), 91);
            QFile(book).setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
        });
        QCOMPARE(basicPage(), (QStringList{"91", "92", "93"}));
        auto *table = EmbeddedSpreadsheet::running().back()->window()->tabs()->widget(0)->findChild<QAbstractItemView *>();
        if (!table)
            table = qobject_cast<QAbstractItemView *>(EmbeddedSpreadsheet::running().back()->window()->tabs()->widget(0));
        QVERIFY(table);
        QCOMPARE(table->model()->index(0, 1).data().toString(), QStringLiteral("91"));
    }

    void booleanIsNotAScore_data() { bothSpreadsheetsFor({"values.xls", "values.xlsx"}); }

    void booleanIsNotAScore()
    {
        QFETCH(bool, calc);
        QFETCH(QString, file);
        useSpreadsheet(calc);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/values-frameset.html")))));
        transfer(QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/") + file, QStringLiteral("成績 一"), "A", "B");
        QCOMPARE(values("S0456") + values("S1004") + values("S1006"), (QStringList{"100", "", "59"}));
        QVERIFY(readFile(report()).contains(QStringLiteral("請注意！成績冊中學號 1004 的分數欄內不是數值資料!\r\n").toUtf8()));
    }

    void cellsAsShown_data() { bothSpreadsheetsFor({"shown-as.ods", "shown-as.xlsx", "shown-as.xls"}); }

    // What a cell is shown as decides: typed booleans, percentages, dates and
    // times are no scores; IDs stored as numbers, full-width digits and
    // no-break spaces are read as the teacher meant them.
    void cellsAsShown()
    {
        QFETCH(bool, calc);
        QFETCH(QString, file);
        useSpreadsheet(calc);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/shown-as-frameset.html")))));
        QMap<QString, QString> shown; // ID -> the preview's 成績冊 column
        QString check;
        tallyra::PreviewDialogs::setHandler([&](tallyra::PreviewDialog &dialog) {
            QTableWidget *table = dialog.table();
            for (int r = 0; r < table->rowCount(); ++r)
                shown.insert(table->item(r, 1)->text(), table->item(r, 2)->text());
            if (auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblCheck")))
                check = label->text();
            return QDialog::Accepted;
        });
        m_pressButton = QStringLiteral("cmdPreview");
        QString hint;
        transfer(QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks/") + file, QStringLiteral("成績"), "A", "B",
                 [&](ImportWizard &wizard) {
                     hint = wizard.findChild<QComboBox *>(QStringLiteral("Combo2"))->itemData(1, Qt::ToolTipRole).toString();
                 });
        QCOMPARE(hint, QStringLiteral("A 欄：15 位學生中找到 13 位"));
        QVERIFY2(check.isEmpty(), qPrintable(check));
        const QStringList ids{"091001", "091002", "091003", "091004", "091005", "091006", "091007", "091008",
                              "091009", "091010", "091011", "091012", "091013", "0091013", "091014"};
        QStringList page;
        for (const QString &id : ids)
            page << value(QLatin1Char('S') + id);
        QCOMPARE(page, (QStringList{"", "", "", "", "", "", "1", "1", "85", "85", "86", "77", "", "", "60"}));
        QCOMPARE((QStringList{shown["091001"], shown["091002"], shown["091003"], shown["091004"], shown["091005"],
                              shown["091006"], shown["091007"], shown["091008"], shown["091014"]}),
                 (QStringList{"TRUE", "FALSE", "85%", "12:00:00", "2026-06-30", "2026-06-30 12:00:00", "1", "0.85", "60.0"}));

        QStringList anomalies;
        for (const QString &line : QString::fromUtf8(readFile(report())).split(QStringLiteral("\r\n")))
            if (line.startsWith(QStringLiteral("請注意！")))
                anomalies << line;
        const auto notNumeric = [](const char *id) { return QStringLiteral("請注意！成績冊中學號 %1 的分數欄內不是數值資料!").arg(id); };
        const auto notAScore = [](const char *id) {
            return QStringLiteral("請注意！成績冊中學號 %1 的分數欄內是日期、時間或百分比，不是分數!").arg(id);
        };
        const auto notFound = [](const char *id) { return QStringLiteral("請注意！Quillo在成績冊中找不到學號 %1 !").arg(id); };
        QCOMPARE(anomalies, (QStringList{notNumeric("091001"), notNumeric("091002"), notAScore("091003"), notAScore("091004"),
                                         notAScore("091005"), notAScore("091006"), notFound("091013"), notFound("0091013")}));
    }

    // The values of the frame's text inputs, whatever their names.
    QString textInputs()
    {
        return runInPage(browser(), QStringLiteral("Array.from(window.frames['FCONTENT'].document.forms[window.frames['FCONTENT']"
                                                   ".document.forms.length - 1].querySelectorAll('input[type=text]'))"
                                                   ".map(e => e.name + '=' + e.value).join('|')"))
            .toString();
    }

    void pageChangedBeforeTheWrite_data()
    {
        QTest::addColumn<QString>("frameset");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("preview");
        const QString swap = QStringLiteral("const ids = f.querySelectorAll('[name=mStd_id]');"
                                            " const t = ids[0].value; ids[0].value = ids[1].value; ids[1].value = t;");
        QTest::newRow("shared: rows re-sorted") << "shared-frameset.html" << swap << false;
        QTest::newRow("shared: rows re-sorted under the preview") << "shared-frameset.html" << swap << true;
        QTest::newRow("a field renamed") << "grade-frameset.html" << "f.S0456.name = 'S9999';" << false;
        QTest::newRow("a field removed") << "grade-frameset.html" << "f.S1789.remove();" << false;
    }

    // Between the reading and the write the page changed: nothing is
    // written, not even the fields before the change, and the earlier
    // report stays as it was.
    void pageChangedBeforeTheWrite()
    {
        QFETCH(QString, frameset);
        QFETCH(QString, change);
        QFETCH(bool, preview);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/") + frameset))));
        const QByteArray earlier("an earlier report\r\n");
        {
            QFile file(report());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(earlier);
        }
        const QString book = writeSheets(QStringLiteral("changed.xlsx"),
                                         {{QStringLiteral("成績"), {{"0101", 61}, {"0102", 62}, {"0103", 63}, {"0104", 64},
                                                                   {"0123", 71}, {"0456", 72}, {"1789", 73}}}});
        QString changed;
        const auto makeChange = [&] {
            runInPage(browser(), QStringLiteral("(function () { const f = window.frames['FCONTENT'].document.forms.wlist; %1 })()")
                                     .arg(change));
            changed = textInputs();
        };
        if (preview) {
            m_pressButton = QStringLiteral("cmdPreview");
            tallyra::PreviewDialogs::setHandler([&](tallyra::PreviewDialog &) {
                makeChange(); // the teacher read the preview for a minute meanwhile
                return int(QDialog::Accepted);
            });
        } else {
            browser()->beforeWrite = makeChange;
        }
        transferSentBack(book);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(!changed.isEmpty());
        QCOMPARE(textInputs(), changed);
        QCOMPARE(readFile(report()), earlier);
        QVERIFY(m_opened.isEmpty());
    }

    // Lists, ranges, dates, check boxes, disabled and read-only fields would
    // drop or change a score: they are left and reported, the rest written.
    void fieldsThatCannotTakeAScore()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/odd-fields-frameset.html")))));
        Rows rows;
        for (const char *id : {"0123", "0456", "1789", "2001", "2002", "2003", "2004", "2005", "2006"})
            rows << qMakePair(QString::fromLatin1(id), QVariant(88));
        transfer(writeSheets(QStringLiteral("odd.xlsx"), {{QStringLiteral("成績"), rows}}), QStringLiteral("成績"), "A", "B");
        const QString values = runInPage(browser(), QStringLiteral(
            "Array.from(window.frames['FCONTENT'].document.forms.wlist.elements).filter(e => e.name.startsWith('S'))"
            ".map(e => e.type === 'checkbox' ? String(e.checked) : e.value).join('|')")).toString();
        QCOMPARE(values, QStringLiteral("甲|50|2026-06-30|false|33|34|35|88|88"));
        QStringList expected;
        for (const char *id : {"0123", "0456", "1789", "2001", "2002", "2003", "2004"})
            expected << QStringLiteral("請注意！網頁上學號 %1 的成績欄無法輸入!").arg(id);
        QStringList lines;
        for (const QString &line : QString::fromUtf8(readFile(report())).split(QStringLiteral("\r\n")))
            if (line.startsWith(QStringLiteral("請注意")))
                lines << line;
        QCOMPARE(lines, expected);
        QCOMPARE(describe(m_boxes->shown()).first(), box("Quillo", QMessageBox::Warning, kPartial));
    }

    // A page that puts its own value back after the write: reported as not
    // kept, never as success, and its borderline note dropped.
    void pagePutsItsValueBack()
    {
        tallyra::settings().AutoMark = 1;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/puts-back-frameset.html")))));
        transfer(writeSheets(QStringLiteral("back.xlsx"), {{QStringLiteral("成績"), {{"0123", 81}, {"0456", 58}, {"1789", 83}}}}),
                 QStringLiteral("成績"), "A", "B");
        QCOMPARE(values("S0123") + values("S0456") + values("S1789"), (QStringList{"81", "40", "83"}));
        const QString text = QString::fromUtf8(readFile(report()));
        QVERIFY2(text.contains(QStringLiteral("請注意！網頁沒有保留學號 0456 的成績!\r\n")), qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("(58分)")));
        QCOMPARE(describe(m_boxes->shown()).first(), box("Quillo", QMessageBox::Warning, kPartial));
        QCOMPARE(background("S0456"), QStringLiteral("rgb(128, 128, 255)")); // coloured by what it holds: 40
    }

    // A page that saves only the rows it saw typed into saves every score.
    void pageSavesOnlyChangedRows()
    {
        QVERIFY(openDemoClass(browser(), m_site, QStringLiteral("306")));
        transfer(kDemoBooks + QStringLiteral(".xlsx"), QStringLiteral("三年一班國文"), "B", "E");
        const QString script = QStringLiteral("Array.from(window.frames['FCONTENT'].document.forms.wlist.elements)"
                                              ".filter(e => e.name.startsWith('S')).map(e => e.value).join('|')");
        const QString written = runInPage(browser(), script).toString();
        QCOMPARE(written.split(QLatin1Char('|')).count(QString()), 5); // 091003, 091005, 091008, 091011, 091020
        saveWithThePagesButton(QStringLiteral("暫時儲存成績"));
        QCOMPARE(runInPage(browser(), script).toString(), written);
    }

    void decoyFormIsLeftAlone()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/decoy-frameset.html")))));
        transfer(writeSheets(QStringLiteral("decoy.xlsx"), {{QStringLiteral("成績"), {{"0123", 91}, {"0456", 92}, {"1789", 93}}}}),
                 QStringLiteral("成績"), "A", "B");
        const auto formValues = [this](const char *selector) {
            return runInPage(browser(), QStringLiteral("Array.from(window.frames['FCONTENT'].document.querySelector('%1')"
                                                       ".querySelectorAll('input[type=text]')).map(e => e.value).join('|')")
                                            .arg(QLatin1String(selector)))
                .toString();
        };
        QCOMPARE(formValues("form[name=wlist]"), QStringLiteral("91|92|93"));
        QCOMPARE(formValues("form#wlist"), QStringLiteral("decoy|decoy|decoy"));
    }

    // One student listed twice: both fields get the score, both are coloured.
    void repeatedPageId()
    {
        tallyra::settings().AutoMark = 1;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/repeated-id-frameset.html")))));
        transfer(writeSheets(QStringLiteral("twice.xlsx"), {{QStringLiteral("成績"), {{"0123", 45}, {"0456", 90}}}}),
                 QStringLiteral("成績"), "A", "B");
        QCOMPARE(values("S0123") + values("S0456"), (QStringList{"45", "45", "90"}));
        const QString colours = runInPage(browser(), QStringLiteral(
            "Array.from(window.frames['FCONTENT'].document.forms.wlist.elements).filter(e => e.name === 'S0123')"
            ".map(e => e.style.backgroundColor).join('|')")).toString();
        QCOMPARE(colours, QStringLiteral("rgb(128, 128, 255)|rgb(128, 128, 255)"));
    }

    void columnCheckNamesTheCause_data()
    {
        QTest::addColumn<Rows>("rows");
        QTest::addColumn<QString>("question");
        QTest::newRow("IDs in several rows")
            << Rows{{"0123", 1}, {"0123", 2}, {"0456", 3}, {"0456", 4}, {"1789", 5}}
            << QStringLiteral("學號欄位 A 中有 2 位學生出現在多個列，這些學生的成績欄會被清空。仍要輸入嗎?");
        QTest::newRow("a partly filled score column")
            << Rows{{"0123", 91}, {"0456", QStringLiteral("缺考")}, {"1789", QStringLiteral("請假")}}
            << QStringLiteral("成績欄位 B 只有 1 / 3 位學生有分數，其餘 2 位的成績欄會被清空。仍要輸入嗎?");
    }

    void columnCheckNamesTheCause()
    {
        QFETCH(Rows, rows);
        QFETCH(QString, question);
        m_boxes->answerNext(QMessageBox::No);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        transfer(writeSheets(QStringLiteral("cause.xlsx"), {{QStringLiteral("成績"), rows}}), QStringLiteral("成績"), "A", "B", {},
                 [](ImportWizard &) {});
        QCOMPARE(describe(m_boxes->shown()), QStringList{box("輸入成績", QMessageBox::Warning, question)});
        QCOMPARE(m_boxes->shown().first().defaultButton, QMessageBox::No);
        QCOMPARE(basicPage(), (QStringList{"77", "", "59.5"}));
    }

    void emptyPageIdIsNotFound()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/empty-id-frameset.html")))));
        const QString book = writeSheets(QStringLiteral("blank.xlsx"), {{QStringLiteral("成績"), {{"  ", 40}, {"0123", 70}}}});
        transfer(book, QStringLiteral("成績"), "A", "B");
        QCOMPARE(values("S") + values("S0123"), (QStringList{"", "70"}));
        QVERIFY(readFile(report()).contains(QStringLiteral("請注意！Quillo在成績冊中找不到學號  !\r\n").toUtf8()));
    }

    // A document the teacher opened in Tallyra's Calc keeps it running, untouched.
    void autoCloseLeavesOtherDocuments()
    {
        useSpreadsheet(true);
        tallyra::settings().AutoClose = 1;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString other = writeSheets(QStringLiteral("other.xlsx"), {{QStringLiteral("筆記"), {{"x", 1}}}});
        transfer(twoTerms(QStringLiteral("main.xlsx")), QStringLiteral("期中"), "A", "B", [&](ImportWizard &) {
            const auto office = m_offices.started().back();
            QVERIFY(office->open(other, false));
            QVERIFY(office->enterText(1, 2, QStringLiteral("老師的筆記")));
            QVERIFY(office->activateWorkbook(1));
        });
        QCOMPARE(basicPage(), (QStringList{"81", "82", "83"}));
        QCOMPARE(describe(m_boxes->shown()).first(), box("Quillo", QMessageBox::Information, kSuccess));
        const auto office = m_offices.started().back();
        QVERIFY(tallyra::OfficeProcess::isAlive(office->processId()));
        QCOMPARE(office->sheetName(1), QStringLiteral("筆記")); // the gradebook was closed, the other is left
        QCOMPARE(office->hasUnsavedChanges(), true);
        QCOMPARE(office->cell(1, 2)->textForm(), QStringLiteral("老師的筆記"));
    }

    void lateWrite_data()
    {
        QTest::addColumn<QString>("pageScript");
        QTest::addColumn<QList<QMessageBox::StandardButton>>("answers");
        QTest::addColumn<QStringList>("page");
        QTest::addColumn<QStringList>("boxes");
        const QString busy = QStringLiteral("const t = Date.now(); while (Date.now() - t < %1) {}");
        const QString written = box("Quillo", QMessageBox::Information, kSuccess);
        const QString waitOn = box("輸入成績", QMessageBox::Warning,
                                   QStringLiteral("成績輸入網頁還沒有回應，無法確定成績是否已經寫入。要繼續等待嗎?"));
        QTest::newRow("lands late") << busy.arg(1500) << QList<QMessageBox::StandardButton>{}
                                    << QStringList{"81", "82", "83"} << QStringList{written, box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))};
        // However often the question comes, 繼續等待 keeps waiting.
        QTest::newRow("lands after waiting on") << busy.arg(3500) << QList<QMessageBox::StandardButton>(8, QMessageBox::Retry)
                                                << QStringList{"81", "82", "83"}
                                                << QStringList{waitOn, written, box("Quillo", QMessageBox::Information, reminder("暫時儲存成績"))};
        // The form is replaced before the held-back write runs: it can never land.
        QTest::newRow("never lands") << busy.arg(1500) + QStringLiteral(
                                            "const f = document.forms.wlist; f.parentNode.replaceChild(f.cloneNode(true), f);")
                                     << QList<QMessageBox::StandardButton>{} << QStringList{"77", "", "59.5"}
                                     << QStringList{box("錯誤", QMessageBox::Critical,
                                                        QStringLiteral("Quillo無法把成績寫入網頁，網頁可能已經變更，請重新開啟成績輸入畫面後再試一次!"))};
        QTest::newRow("teacher stops waiting") << busy.arg(4000) << QList<QMessageBox::StandardButton>{QMessageBox::Abort}
                                               << QStringList{} // left as it is: it may yet land
                                               << QStringList{waitOn, box("輸入成績", QMessageBox::Warning,
                                                                          QStringLiteral("已停止等待成績輸入網頁。無法確定成績是否已經寫入網頁，請檢查網頁上的每一筆成績，"
                                                                                         "或重新開啟成績輸入畫面後再輸入一次!"))};
    }

    // The page holds the write back past the time limit (a busy page script).
    void lateWrite()
    {
        QFETCH(QString, pageScript);
        QFETCH(QList<QMessageBox::StandardButton>, answers);
        QFETCH(QStringList, page);
        QFETCH(QStringList, boxes);
        tallyra::settings().AutoMark = 0;
        for (auto answer : answers)
            m_boxes->answerNext(answer);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        browser()->beforeWrite = [&] {
            browser()->setScriptTimeoutMs(300);
            // Sent without waiting, so that the page runs it just before the write.
            browser()->page()->runJavaScript(QStringLiteral("(function () { const document = window.frames['FCONTENT'].document; %1 })()")
                                                 .arg(pageScript));
        };
        QStringList status;
        transfer(twoTerms(QStringLiteral("late.xlsx")), QStringLiteral("期中"), "A", "B", [&](ImportWizard &wizard) {
            wizard.setLateWriteAskMs(1200);
            connect(wizard.findChild<QStatusBar *>(QStringLiteral("StatusBar1")), &QStatusBar::messageChanged, this,
                    [&](const QString &text) { status << text; });
        });
        QVERIFY(status.contains(QStringLiteral("等待成績輸入網頁回應…")));
        browser()->beforeWrite = {};
        browser()->setScriptTimeoutMs(Browser::kScriptTimeoutMs);
        QStringList shown = describe(m_boxes->shown());
        shown.removeDuplicates(); // the question to wait on may come more than once
        QCOMPARE(shown.join(QLatin1Char('\n')), boxes.join(QLatin1Char('\n')));
        if (!page.isEmpty())
            QTRY_COMPARE_WITH_TIMEOUT(basicPage(), page, 10000);
    }

    void hostilePages_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<bool>("realValue");
        QTest::newRow("odd IDs") << "hostile-ids" << false;
        QTest::newRow("page scripts replace built-ins") << "hostile-scripts" << true;
        QTest::newRow("two forms named wlist") << "two-wlist" << false;
        QTest::newRow("254 students, ten inputs each") << "big" << false;
    }

    // Every ID is read and every score written exactly, whatever the page holds.
    void hostilePages()
    {
        QFETCH(QString, page);
        QFETCH(bool, realValue);
        tallyra::settings().AutoMark = 0;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/%1-frameset.html").arg(page)))));
        // The IDs as the page holds them, and a score for each but the last.
        const QString reader = realValue ? QStringLiteral("window.frames['FCONTENT'].realValue(e)") : QStringLiteral("e.value");
        const auto pageValues = [&](const QString &name) {
            return runInPage(browser(), QStringLiteral("(function () { const f = window.frames['FCONTENT'].document.forms[0];"
                                                       " const out = []; for (const e of f.elements) if (e.name === %1) out.push(String(%2));"
                                                       " return out; })()").arg(name, reader))
                .toStringList();
        };
        const QStringList ids = pageValues(QStringLiteral("'mStd_id'"));
        QVERIFY(ids.size() >= 2);
        Rows rows;
        QStringList expected;
        for (int k = 0; k < ids.size(); ++k) {
            const bool last = page == QLatin1String("hostile-ids") && k == ids.size() - 1;
            if (!last)
                rows << qMakePair(ids[k], QVariant(double(k % 101)));
            expected << (last ? QString() : QString::number(k % 101));
        }
        transfer(writeSheets(page + QStringLiteral(".xlsx"), {{QStringLiteral("成績"), rows}}), QStringLiteral("成績"), "A", "B");
        QStringList written;
        for (const QString &id : ids) {
            const QString name = QString::fromUtf8(QJsonDocument(QJsonArray{QStringLiteral("S") + id}).toJson(QJsonDocument::Compact));
            written << pageValues(name.mid(1, name.size() - 2)).value(0);
        }
        QCOMPARE(written, expected);
        if (page == QLatin1String("hostile-ids")) {
            QCOMPARE(ids.last(), QStringLiteral("missing\"</script>"));
            QVERIFY(ids.contains(QStringLiteral("line\nbreak")));
            QVERIFY(readFile(report()).contains(QStringLiteral("找不到學號 missing\"</script> !").toUtf8()));
        }
        if (page == QLatin1String("two-wlist")) {
            const QStringList second = runInPage(browser(), QStringLiteral(
                "Array.from(window.frames['FCONTENT'].document.forms[1].elements).map(e => e.value)")).toStringList();
            QCOMPARE(second, (QStringList{"0123", "second", "0456", "second"}));
        }
    }

    // The ID list tells, letter by letter, how many of the page's students each column holds.
    void columnHints()
    {
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeSheets(QStringLiteral("hints.xlsx"),
                                         {{QStringLiteral("成績"), {{"0123", 1}, {"0456", 2}, {"9999", 3}}}});
        QStringList hints;
        QString greyed;
        transfer(book, QStringLiteral("成績"), "A", "B", [&](ImportWizard &wizard) {
            auto *ids = wizard.findChild<QComboBox *>(QStringLiteral("Combo2"));
            hints << ids->itemData(1, Qt::ToolTipRole).toString() << ids->itemData(2, Qt::ToolTipRole).toString();
            greyed = ids->itemData(2, Qt::ForegroundRole).value<QColor>().name();
            QCOMPARE(ids->itemText(1), QStringLiteral("A")); // the letters stay as they are
            QCOMPARE(ids->currentIndex(), 1);                // and only the teacher chooses
            emit ids->highlighted(1);
            QCOMPARE(wizard.findChild<QStatusBar *>(QStringLiteral("StatusBar1"))->currentMessage(),
                     QStringLiteral("A 欄：3 位學生中找到 2 位"));
        });
        QCOMPARE(hints, (QStringList{"A 欄：3 位學生中找到 2 位", "B 欄：沒有本頁學生的學號"}));
        QCOMPARE(greyed, QColor(Qt::gray).name());
    }

    void columnCheck_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::newRow("No: nothing written") << QMessageBox::No;
        QTest::newRow("Yes: the transfer runs") << QMessageBox::Yes;
    }

    // Too few IDs found: the teacher is asked before anything is written.
    void columnCheck()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        m_boxes->answerNext(answer);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeSheets(QStringLiteral("check.xlsx"), {{QStringLiteral("成績"), {{"0123", 91}, {"5555", 3}}}});
        bool stillOpen = false;
        transfer(book, QStringLiteral("成績"), "A", "B", {}, [&](ImportWizard &wizard) {
            stillOpen = wizard.findChild<QPushButton *>(QStringLiteral("Command5"))->isVisible();
        });
        const QString question = QStringLiteral("學號欄位 A 只找到 1 / 3 位學生，可能選錯了工作表或欄位。仍要輸入嗎?");
        QCOMPARE(describe(m_boxes->shown()).first(), box("輸入成績", QMessageBox::Warning, question));
        QCOMPARE(m_boxes->shown().first().buttons, QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::No) {
            QVERIFY(stillOpen);
            QCOMPARE(m_boxes->shown().size(), 1);
            QCOMPARE(basicPage(), (QStringList{"77", "", "59.5"}));
            QVERIFY(!QFile::exists(report()));
        } else {
            QCOMPARE(basicPage(), (QStringList{"91", "", ""}));
            QVERIFY(readFile(report()).contains("0456 !"));
        }
    }

    void preview_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("確定輸入 writes what was shown") << true;
        QTest::newRow("取消 writes nothing") << false;
    }

    void preview()
    {
        QFETCH(bool, confirm);
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        const QString book = writeSheets(QStringLiteral("preview.xlsx"),
                                         {{QStringLiteral("成績"), {{"0123", 77}, {"0456", 58.5}, {"1789", QStringLiteral("缺考")}}}});
        QStringList rows;
        QString check;
        tallyra::PreviewDialogs::setHandler([&](tallyra::PreviewDialog &dialog) {
            QTableWidget *table = dialog.table();
            for (int r = 0; r < table->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columnCount(); ++c)
                    cells << table->item(r, c)->text();
                rows << cells.join(QLatin1Char('|'));
            }
            if (auto *label = dialog.findChild<QLabel *>(QStringLiteral("lblCheck")))
                check = label->text();
            return confirm ? QDialog::Accepted : QDialog::Rejected;
        });
        m_pressButton = QStringLiteral("cmdPreview");
        transfer(book, QStringLiteral("成績"), "A", "B", {}, [](ImportWizard &wizard) {
            QVERIFY(wizard.findChild<QPushButton *>(QStringLiteral("cmdPreview"))->isVisible());
        });
        QCOMPARE(rows, (QStringList{"|0123|77|77|77|",
                                    "●|0456|58.5|59||請注意! 學號 0456 的成績剛好在及格邊緣! (59分)",
                                    "●|1789|缺考||59.5|請注意！成績冊中學號 1789 的分數欄內不是數值資料!"}));
        QVERIFY(check.isEmpty());
        if (confirm) {
            QCOMPARE(basicPage(), (QStringList{"77", "59", ""}));
            QVERIFY(readFile(report()).contains("1789"));
        } else {
            QCOMPARE(basicPage(), (QStringList{"77", "", "59.5"}));
            QVERIFY(!QFile::exists(report()));
            QVERIFY(m_boxes->shown().isEmpty());
        }
    }

    // Values and colours come back; a field typed over since is left and named.
    void undoRestoresTheLastTransfer()
    {
        tallyra::settings().AutoMark = 1;
        QVERIFY(navigateAndWait(browser(), QUrl(m_site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        runInPage(browser(), QStringLiteral("window.frames['FCONTENT'].document.forms.wlist.S1789.style.backgroundColor = 'rgb(1, 2, 3)'"));
        QVERIFY(!undoAction()->isEnabled());
        transfer(twoTerms(QStringLiteral("undo.xlsx")), QStringLiteral("期中"), "A", "B");
        QCOMPARE(basicPage(), (QStringList{"81", "82", "83"}));
        QVERIFY(!background("S0123").isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(undoAction()->isEnabled(), 5000);
        runInPage(browser(), QStringLiteral("window.frames['FCONTENT'].document.forms.wlist.S0456.value = '70'"));

        m_boxes->clear();
        m_boxes->answerNext(QMessageBox::Yes);
        undoAction()->trigger();
        QCOMPARE(describe(m_boxes->shown()),
                 QStringList{box("復原上次輸入成績", QMessageBox::Question,
                                 QStringLiteral("要把上次輸入成績寫入的欄位復原為輸入前的分數和顏色嗎?\r\n\r\n"
                                                "以下學號的成績在輸入後已經修改過，將保留不動：0456"))});
        QCOMPARE(basicPage(), (QStringList{"77", "70", "59.5"}));
        QCOMPARE(background("S0123"), QString());
        QCOMPARE(background("S1789"), QStringLiteral("rgb(1, 2, 3)"));
        QVERIFY(!background("S0456").isEmpty()); // left as the teacher has it
        QTRY_VERIFY(!undoAction()->isEnabled()); // one level only
    }

    // After the page's own save the transfer's page is gone: nothing to take back.
    void undoAfterThePagesSave()
    {
        QVERIFY(openDemoClass(browser(), m_site, QStringLiteral("301")));
        transfer(kDemoBooks + QStringLiteral(".xlsx"), QStringLiteral("三年一班國文"), "B", "E");
        QTRY_VERIFY_WITH_TIMEOUT(undoAction()->isEnabled(), 5000);
        saveWithThePagesButton(QStringLiteral("暫時儲存成績"));
        QTRY_VERIFY_WITH_TIMEOUT(!undoAction()->isEnabled(), 5000);

        m_boxes->clear();
        m_main->mnuUndo_Click(); // as if the click came just before the page changed
        QCOMPARE(describe(m_boxes->shown()),
                 QStringList{box("復原上次輸入成績", QMessageBox::Warning,
                                 QStringLiteral("上次輸入成績的網頁已經不在了(可能已經儲存或重新載入)，無法復原。"))});
    }
};

TALLYRA_WEB_TEST_MAIN(TestTransferEndToEnd)
#include "tst_transfer_e2e.moc"
