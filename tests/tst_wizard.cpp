#include "support/CalcSupport.h"
#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "import/ImportWizard.h"
#include "platform/FileDialog.h"
#include "platform/calc/OfficeProcess.h"
#include "platform/workbook/EmbeddedSpreadsheet.h"
#include "platform/workbook/WorkbookWindow.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

using tallyra::EmbeddedSpreadsheet;
using tallyra::ImportWizard;
using tallyra::Settings;
using tallyra::WorkbookWindow;
using namespace tallyra::test;

namespace {

const QString kWorkbooks = QStringLiteral(TALLYRA_TEST_FIXTURES "/workbooks");

QComboBox *list(ImportWizard &w, int n) { return w.findChild<QComboBox *>(QStringLiteral("Combo%1").arg(n)); }
QPushButton *button(ImportWizard &w, const char *name) { return w.findChild<QPushButton *>(QString::fromLatin1(name)); }
QString status(ImportWizard &w) { return w.findChild<QStatusBar *>(QStringLiteral("StatusBar1"))->currentMessage(); }
int stepOf(ImportWizard &w) { return status(w).mid(3, 1).toInt(); }

// Chooses an entry as the teacher does: the list's own signals fire.
void choose(ImportWizard &w, int n, int index)
{
    QComboBox *combo = list(w, n);
    QVERIFY(combo->isVisible());
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

std::shared_ptr<EmbeddedSpreadsheet> newestInstance()
{
    const auto running = EmbeddedSpreadsheet::running();
    return running.empty() ? nullptr : running.back();
}

} // namespace

class TestWizard : public QObject {
    Q_OBJECT

    CalcOffices m_offices;
    QStringList m_fileAnswers; // what the file dialog returns next, in order
    QList<tallyra::FileDialog::Request> m_fileRequests;

    void openFile(ImportWizard &w, const QString &path)
    {
        m_fileAnswers << path;
        QTest::mouseClick(button(w, "Command3"), Qt::LeftButton);
    }

    // Walks to step 5 with sheet 1, IDs in A and scores in B.
    void walkToStepFive(ImportWizard &w)
    {
        openFile(w, kWorkbooks + QStringLiteral("/values.xlsx"));
        choose(w, 1, 1);
        choose(w, 2, 1);
        choose(w, 3, 2);
        QCOMPARE(stepOf(w), 5);
    }

private slots:
    void initTestCase() { m_offices.prepare(); }

    void init()
    {
        // The embedded reader unless a test asks for Calc.
        tallyra::Spreadsheet::setFactory(&EmbeddedSpreadsheet::start);
        tallyra::settings() = Settings::defaults();
        tallyra::settings().LastFolder = QStringLiteral("/srv/grades/");
        m_fileAnswers.clear();
        m_fileRequests.clear();
        tallyra::FileDialog::setHandler([this](const tallyra::FileDialog::Request &request) {
            m_fileRequests << request;
            return m_fileAnswers.isEmpty() ? QString() : m_fileAnswers.takeFirst();
        });
    }

    void cleanup()
    {
        tallyra::FileDialog::setHandler({});
        for (const auto &instance : EmbeddedSpreadsheet::running())
            instance->quit();
        m_offices.endAll();
        QTest::qWait(0);
    }

    void opensAtStepOne()
    {
        ImportWizard w(nullptr);
        w.show();
        QCOMPARE(w.objectName(), QStringLiteral("Form5"));
        QCOMPARE(w.windowTitle(), QStringLiteral("輸入成績"));
        QCOMPARE(w.size(), QSize(331, 183));
        QCOMPARE(status(w), QStringLiteral("步驟 1/5：請按下「選擇檔案」鈕來開啟成績冊"));
        QCOMPARE(w.findChild<QLabel *>(QStringLiteral("Label1"))->text(), QStringLiteral("請選擇 Excel 格式之成績冊"));
        QCOMPARE(button(w, "Command3")->text(), QStringLiteral("選擇檔案"));
        QCOMPARE(button(w, "Command1")->palette().color(QPalette::Button), QColor(255, 128, 128));
        QCOMPARE(button(w, "Command5")->palette().color(QPalette::Button), QColor(0, 192, 0));
        QVERIFY(!button(w, "Command5")->isVisible());
        for (int n = 1; n <= 3; ++n)
            QVERIFY(!list(w, n)->isVisible());
        QCOMPARE(list(w, 1)->count(), 0);
        for (int n : {2, 3}) {
            QCOMPARE(list(w, n)->count(), 27);
            QCOMPARE(list(w, n)->currentIndex(), -1);
            QCOMPARE(list(w, n)->itemText(26), QStringLiteral("Z"));
        }
        QCOMPARE(list(w, 2)->itemText(0), QStringLiteral("請指定「學號」所在欄位"));
        QCOMPARE(list(w, 3)->itemText(0), QStringLiteral("請指定「成績」所在欄位"));
    }

    void openingAFile()
    {
        ImportWizard w(nullptr);
        w.show();
        openFile(w, kWorkbooks + QStringLiteral("/values.xlsx"));
        QCOMPARE(m_fileRequests.size(), 1);
        QCOMPARE(m_fileRequests[0].folder, QStringLiteral("/srv/grades/"));
        QCOMPARE(m_fileRequests[0].filters,
                 (QStringList{"Excel (*.xls *.xlsx *.xlsm)", "OpenDocument (*.ods)"}));
        QCOMPARE(tallyra::settings().LastFolder, kWorkbooks + QLatin1Char('/'));
        QCOMPARE(status(w), QStringLiteral("步驟 2/5：請選擇本次要輸入成績所在的活頁簿名稱"));
        QComboBox *sheets = list(w, 1);
        QVERIFY(sheets->isVisible());
        QCOMPARE(sheets->count(), 4);
        QCOMPARE(sheets->currentIndex(), 0);
        QCOMPARE(sheets->itemText(0), ImportWizard::sheetPrompt());
        QCOMPARE(sheets->itemText(3), QStringLiteral("第三頁"));
        QCOMPARE(sheets->itemData(3).toInt(), 3);

        const auto instance = newestInstance();
        QVERIFY(instance);
        QVERIFY(instance->isReadOnly());
        QVERIFY(instance->window()->isVisible());
        QCOMPARE(instance->window()->windowTitle(), QStringLiteral("values.xlsx"));
        QCOMPARE(instance->window()->tabs()->count(), 3);
        QCOMPARE(w.ExcelApp(), std::static_pointer_cast<tallyra::Spreadsheet>(instance));
    }

    void readOnlySettingDecides()
    {
        tallyra::settings().ReadOnly = 2; // only 1 means read-only
        ImportWizard w(nullptr);
        openFile(w, kWorkbooks + QStringLiteral("/values.ods"));
        QVERIFY(!newestInstance()->isReadOnly());
    }

    void cancelledFileDialogChangesNothing()
    {
        ImportWizard w(nullptr);
        w.show();
        QTest::mouseClick(button(w, "Command3"), Qt::LeftButton);
        QCOMPARE(m_fileRequests.size(), 1);
        QCOMPARE(stepOf(w), 1);
        QCOMPARE(tallyra::settings().LastFolder, QStringLiteral("/srv/grades/"));
        QVERIFY(EmbeddedSpreadsheet::running().empty());
    }

    void unreadableFileStillGoesToStepTwo()
    {
        MessageBoxScript boxes;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.xlsx"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a workbook");
        f.close();
        ImportWizard w(nullptr);
        w.show();
        openFile(w, path);
        QVERIFY(list(w, 1)->isVisible()); // step 2
        QVERIFY(!list(w, 2)->isVisible());
        QCOMPARE(list(w, 1)->count(), 1);
        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(tallyra::settings().LastFolder, dir.path() + QLatin1Char('/'));
        // Its own status line says why, and so does the gradebook window.
        const QString why = tallyra::WorkbookReader::failureText(tallyra::ReadFailure::TextFile);
        QCOMPARE(status(w), why);
        QCOMPARE(newestInstance()->window()->statusText(), why);
    }

    void walkingTheSteps()
    {
        ImportWizard w(nullptr);
        w.show();
        openFile(w, kWorkbooks + QStringLiteral("/values.xls"));
        choose(w, 1, 0); // the prompt: nothing
        QCOMPARE(stepOf(w), 2);
        choose(w, 1, 2);
        QCOMPARE(stepOf(w), 3);
        QCOMPARE(w.SheetIndex(), quint8(2));
        QCOMPARE(newestInstance()->window()->activeSheet(), 1);
        QCOMPARE(newestInstance()->cell(1, 1)->textForm(), QStringLiteral("second"));
        QCOMPARE(status(w), QStringLiteral("步驟 3/5：請指定學號所在的欄位名稱"));
        choose(w, 2, 0);
        QCOMPARE(stepOf(w), 3);
        choose(w, 2, 3);
        QCOMPARE(w.IdColumn(), QStringLiteral("C"));
        QCOMPARE(status(w), QStringLiteral("步驟 4/5：請指定本次要輸入分數所在的欄位名稱"));
        QVERIFY(!button(w, "Command5")->isVisible());
        choose(w, 3, 3); // the ID letter: ignored
        QCOMPARE(stepOf(w), 4);
        choose(w, 3, 26);
        QCOMPARE(w.ScoreColumn(), quint8(26));
        QCOMPARE(status(w), QStringLiteral("步驟 5/5：請按下「輸入成績」鈕，開始輸入成績!!"));
        QVERIFY(button(w, "Command5")->isVisible());
        choose(w, 3, 0); // the prompt hides the button
        QVERIFY(!button(w, "Command5")->isVisible());
        QCOMPARE(stepOf(w), 5);
    }

    void backFromStepFive_data()
    {
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("step");
        QTest::addColumn<bool>("transferShown");
        QTest::newRow("another sheet") << 1 << 3 << true;
        QTest::newRow("another ID column") << 2 << 4 << false;
    }

    void backFromStepFive()
    {
        QFETCH(int, list);
        QFETCH(int, step);
        QFETCH(bool, transferShown);
        ImportWizard w(nullptr);
        w.show();
        walkToStepFive(w);
        choose(w, list, 3);
        QCOMPARE(stepOf(w), step);
        QCOMPARE(button(w, "Command5")->isVisible(), transferShown);
        QCOMPARE(w.ScoreColumn(), quint8(2));
    }

    void anotherFileHidesTheTransferUntilASheetIsChosen()
    {
        ImportWizard w(nullptr);
        w.show();
        walkToStepFive(w);
        openFile(w, kWorkbooks + QStringLiteral("/values.ods"));
        QCOMPARE(stepOf(w), 2);
        QVERIFY(!button(w, "Command5")->isVisible());
        choose(w, 1, 1);
        QCOMPARE(stepOf(w), 3);
        QVERIFY(button(w, "Command5")->isVisible());
        QCOMPARE(w.IdColumn(), QStringLiteral("A"));
        QCOMPARE(EmbeddedSpreadsheet::running().size(), size_t(2)); // the first stays open
        QVERIFY(EmbeddedSpreadsheet::running().front()->window()->isVisible());
    }

    void scoreLetterNeverTheStoredIdLetter()
    {
        ImportWizard w(nullptr);
        w.show();
        walkToStepFive(w);
        choose(w, 3, 0);
        list(w, 2)->setCurrentIndex(0); // back on the prompt: IdColumn keeps "A"
        QCOMPARE(w.IdColumn(), QStringLiteral("A"));
        choose(w, 3, 1);
        QCOMPARE(w.ScoreColumn(), quint8(2));
        QVERIFY(!button(w, "Command5")->isVisible());
    }

    void closedGradebookWindow_data()
    {
        QTest::addColumn<bool>("calc");
        QTest::newRow("embedded reader's window closed") << false;
        QTest::newRow("Calc killed") << true;
    }

    void closedGradebookWindow()
    {
        QFETCH(bool, calc);
        if (calc) {
            if (!m_offices.whyNot().isEmpty())
                QSKIP(qPrintable(m_offices.whyNot()));
            tallyra::Spreadsheet::setFactory(m_offices.factory());
        }
        MessageBoxScript boxes;
        ImportWizard w(nullptr);
        w.show();
        walkToStepFive(w);
        if (calc) {
            QCOMPARE(m_offices.started().size(), size_t(1));
            const auto office = m_offices.started().front();
            // The sheet chosen in the wizard is the one Calc shows and reads.
            choose(w, 1, 2);
            QCOMPARE(office->cell(1, 1)->textForm(), QStringLiteral("second"));
            tallyra::OfficeProcess::killGroup(office->processId());
            QVERIFY(tallyra::OfficeProcess::waitForEnd(office->processId(), 10000));
            QVERIFY(boxes.shown().isEmpty());
        } else {
            newestInstance()->window()->close(); // the teacher closes the gradebook
        }
        choose(w, 1, calc ? 1 : 2);
        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown()[0].title, QStringLiteral("輸入成績"));
        QCOMPARE(boxes.shown()[0].icon, QMessageBox::Warning);
        QCOMPARE(stepOf(w), 2);
        QCOMPARE(list(w, 1)->currentIndex(), 0);
        QVERIFY(!button(w, "Command5")->isVisible());
    }

    void cancelLeavesTheGradebookOpen_data()
    {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("取消") << false;
        QTest::newRow("close box") << true;
    }

    void cancelLeavesTheGradebookOpen()
    {
        QFETCH(bool, closeBox);
        auto *w = new ImportWizard(nullptr);
        w->show();
        openFile(*w, kWorkbooks + QStringLiteral("/values.xlsx"));
        std::weak_ptr<tallyra::Spreadsheet> app = w->ExcelApp();
        if (closeBox)
            w->close();
        else
            QTest::mouseClick(button(*w, "Command1"), Qt::LeftButton);
        QVERIFY(!w->isVisible());
        QCOMPARE(w->result(), int(QDialog::Rejected));
        QVERIFY(!w->ExcelApp());
        delete w;
        QVERIFY(!app.expired());
        QVERIFY(newestInstance()->window()->isVisible());
    }

    void calcStartsAsTheWizardOpens_data()
    {
        QTest::addColumn<int>("atStepOneMs"); // the teacher's time before choosing
        QTest::addColumn<QString>("file");    // what the file dialog gives; "" when cancelled
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("取消 while Calc starts") << 0 << QString() << false;
        QTest::newRow("file dialog cancelled after 3 s, close box") << 3000 << QString() << true;
        QTest::newRow("file chosen while Calc starts") << 0 << QStringLiteral("values.xlsx") << false;
        QTest::newRow("file chosen after 3 s, close box") << 3000 << QStringLiteral("values.xlsx") << true;
    }

    // The office is started before the file is chosen and holds the file once
    // it is; a wizard left without a file leaves no office running.
    void calcStartsAsTheWizardOpens()
    {
        QFETCH(int, atStepOneMs);
        QFETCH(QString, file);
        QFETCH(bool, closeBox);
        if (!m_offices.whyNot().isEmpty())
            QSKIP(qPrintable(m_offices.whyNot()));
        tallyra::Spreadsheet::setFactory({});
        // Profiles of this row's own, so that the one taken is the only one.
        QTemporaryDir rowProfiles;
        tallyra::CalcSpreadsheet::Options options = m_offices.options();
        options.profileRoot = rowProfiles.path();
        tallyra::CalcSpreadsheet::setOptions(options);
        const auto restore = qScopeGuard([&] { tallyra::CalcSpreadsheet::setOptions(m_offices.options()); });
        const auto running = [root = options.profileRoot] {
            QStringList folders;
            for (const QString &n : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                if (tallyra::OfficeProfiles::heldByRunningOffice(QDir(root).filePath(n)))
                    folders << QDir(root).filePath(n);
            return folders;
        };
        QVERIFY(running().isEmpty());

        auto w = std::make_unique<ImportWizard>(nullptr);
        w->show();
        // The office's profile is taken as the window opens, before any file.
        const QStringList profiles = QDir(options.profileRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(profiles.size(), 1);
        const QString ahead = QDir(options.profileRoot).filePath(profiles.front());
        QTest::qWait(atStepOneMs);
        if (atStepOneMs > 0)
            QVERIFY(tallyra::OfficeProfiles::heldByRunningOffice(ahead));
        m_fileAnswers << (file.isEmpty() ? QString() : kWorkbooks + QLatin1Char('/') + file);
        QTest::mouseClick(button(*w, "Command3"), Qt::LeftButton);
        const auto calc = std::dynamic_pointer_cast<tallyra::CalcSpreadsheet>(w->ExcelApp());
        const auto ending = qScopeGuard([&] {
            if (calc) {
                calc->closeActiveWorkbook();
                calc->quit();
            }
        });
        if (file.isEmpty()) {
            QVERIFY(!calc);
            QCOMPARE(stepOf(*w), 1);
        } else {
            QVERIFY(calc);
            QCOMPARE(calc->profileFolder(), ahead); // no second office
            const QString office = calc->profileFolder();
            // Nothing left of the warm-up, open or on disc.
            QCOMPARE(calc->otherDocumentCount(), 0);
            QCOMPARE(QDir(tallyra::OfficeProfiles::temporaryFolder(office)).entryList({QStringLiteral("*.ods")}),
                     QStringList());
            QCOMPARE(stepOf(*w), 2);
            QCOMPARE(list(*w, 1)->count(), 4); // the prompt and the three sheets
        }
        if (closeBox)
            w->close();
        else
            QTest::mouseClick(button(*w, "Command1"), Qt::LeftButton);
        w.reset();
        if (file.isEmpty()) {
            QCOMPARE(running(), QStringList());
        } else {
            // The gradebook stays open for the teacher.
            QCOMPARE(running(), QStringList{calc->profileFolder()});
            QVERIFY(calc->closeActiveWorkbook());
            QVERIFY(calc->quit());
            QCOMPARE(running(), QStringList());
            QVERIFY(!calc->closeActiveWorkbook());
        }
    }

    void mainWindowOpensTheWizardOverAGradePage()
    {
        DemoSiteProcess site;
        QTemporaryDir fixtures;
        QVERIFY(site.start(copyFixtures(fixtures)));
        TestEnvironment t(site.server());
        t.apply();
        tallyra::MainWindow main;
        main.show();
        QVERIFY(navigateAndWait(main.WebBrowser1(), QUrl(site.url(QStringLiteral("/fixtures/grade-frameset.html")))));
        m_fileAnswers << kWorkbooks + QStringLiteral("/values.xlsx");

        QString seen;
        Qt::WindowModality modality = Qt::NonModal;
        bool gradebookUsable = false;
        QTimer::singleShot(300, [&] {
            auto *wizard = qobject_cast<ImportWizard *>(QApplication::activeModalWidget());
            if (!wizard)
                return;
            seen = wizard->objectName();
            modality = wizard->windowModality();
            QTest::mouseClick(wizard->findChild<QPushButton *>(QStringLiteral("Command3")), Qt::LeftButton);
            // The gradebook window takes input while the wizard is open.
            WorkbookWindow *book = newestInstance()->window();
            QTabWidget *tabs = book->tabs();
            const QRect tab = tabs->tabBar()->tabRect(2);
            QTest::mouseClick(tabs->tabBar(), Qt::LeftButton, {}, tab.center());
            gradebookUsable = tabs->currentIndex() == 2;
            wizard->Command1_Click();
        });
        QTest::mouseClick(main.findChild<QPushButton *>(QStringLiteral("Command1")), Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("Form5"));
        QCOMPARE(modality, Qt::WindowModal);
        QVERIFY(gradebookUsable);
        QVERIFY(newestInstance()->window()->isVisible());
    }
};

TALLYRA_WEB_TEST_MAIN(TestWizard)
#include "tst_wizard.moc"
