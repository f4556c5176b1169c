#include "support/TestSupport.h"

#include "app/MainWindow.h"
#include "core/Settings.h"
#include "dialogs/AboutDialog.h"
#include "dialogs/ColorSwatch.h"
#include "dialogs/JournalWindow.h"
#include "dialogs/OptionsDialog.h"
#include "platform/ColorPicker.h"
#include "platform/Shell.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using tallyra::AboutDialog;
using tallyra::ColorSwatch;
using tallyra::OptionsDialog;
using tallyra::Settings;
using namespace tallyra::test;

namespace {

template <typename T>
T *child(QWidget *dialog, const char *name)
{
    T *found = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

void typeInto(QWidget *dialog, const char *box, const QString &text)
{
    auto *edit = child<QLineEdit>(dialog, box);
    edit->clear();
    QTest::keyClicks(edit, text);
}

void press(QWidget *dialog, const char *button) { QTest::mouseClick(child<QPushButton>(dialog, button), Qt::LeftButton); }

} // namespace

class TestDialogs : public QObject {
    Q_OBJECT

private slots:
    void init() { tallyra::settings() = Settings::defaults(); }

    void cleanup()
    {
        tallyra::ColorPicker::setHandler({});
        tallyra::Shell::setHandler({});
    }

    void optionsLayout()
    {
        OptionsDialog d;
        QCOMPARE(d.objectName(), QStringLiteral("frmOption"));
        QCOMPARE(d.windowTitle(), QStringLiteral("操作選項設定"));
        QCOMPARE(d.size(), QSize(352, 264));
        QCOMPARE(d.minimumSize(), d.maximumSize());
        QCOMPARE(child<QCheckBox>(&d, "chkAutoReport")->text(), QStringLiteral("自動回報　　 分以上及格邊緣的成績，避免分數爭議"));
        QCOMPARE(child<QCheckBox>(&d, "chkReadOnly")->text(), QStringLiteral("以「唯讀模式」開啟成績冊，避免誤動成績"));
        QCOMPARE(child<QPushButton>(&d, "Command2")->text(), QStringLiteral("確定"));
        QCOMPARE(child<QPushButton>(&d, "Command1")->text(), QStringLiteral("取消"));
        for (const char *name : {"txtReportThreshold", "txtThreshold1", "txtThreshold2"}) {
            auto *box = child<QLineEdit>(&d, name);
            QCOMPARE(box->maxLength(), 2);
            QCOMPARE(box->alignment(), Qt::AlignCenter);
            QCOMPARE(box->font().pointSizeF(), 11.25);
        }
        QCOMPARE(child<QLabel>(&d, "Label3")->parentWidget()->objectName(), QStringLiteral("Frame1"));
        QCOMPARE(child<QLabel>(&d, "Label3")->geometry(), QRect(184, 25, 108, 17));

        // The number box sits inside the caption's blank stretch, on the same line.
        auto *check = child<QCheckBox>(&d, "chkAutoReport");
        auto *number = child<QLineEdit>(&d, "txtReportThreshold");
        QCOMPARE(number->y(), check->y());
        QVERIFY(number->x() > check->x() + check->fontMetrics().horizontalAdvance(QStringLiteral("自動")));
    }

    void optionsLoad()
    {
        Settings &s = tallyra::settings();
        s.Threshold1 = 50;
        s.Threshold2 = 40;
        s.AutoReport = 0;
        s.AutoMark = 2; // only 1 means on
        s.ReadOnly = 1;
        s.AutoClose = 0;
        s.ReportThreshold = 57;
        s.MarkColor2 = 0x0000FF00;
        OptionsDialog d;
        QCOMPARE(child<QLabel>(&d, "Label4")->text(), QStringLiteral("分～49分"));
        QCOMPARE(child<QLabel>(&d, "Label6")->text(), QStringLiteral("分～39分"));
        QCOMPARE(child<QLineEdit>(&d, "txtReportThreshold")->text(), QStringLiteral("57"));
        QVERIFY(!child<QLineEdit>(&d, "txtReportThreshold")->isEnabled());
        QVERIFY(!child<QCheckBox>(&d, "chkAutoReport")->isChecked());
        QVERIFY(!child<QCheckBox>(&d, "chkAutoMark")->isChecked());
        QVERIFY(child<QCheckBox>(&d, "chkReadOnly")->isChecked());
        QVERIFY(!child<QCheckBox>(&d, "chkAutoClose")->isChecked());
        QCOMPARE(child<ColorSwatch>(&d, "Label5")->colour(), 0x0000FF00);
        QCOMPARE(child<ColorSwatch>(&d, "Label5")->palette().color(QPalette::Window), QColor(0, 0xFF, 0));
        // The focus starts in the first enabled box.
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QCOMPARE(QApplication::focusWidget(), child<QLineEdit>(&d, "txtThreshold1"));
    }

    void optionsZeroThresholdKeepsTheFirstLabel()
    {
        tallyra::settings().Threshold1 = 0;
        OptionsDialog d;
        QCOMPARE(child<QLabel>(&d, "Label4")->text(), QStringLiteral("分～54分"));
    }

    void optionsLabelsFollowTyping()
    {
        OptionsDialog d;
        typeInto(&d, "txtThreshold1", QStringLiteral("50"));
        QCOMPARE(child<QLabel>(&d, "Label4")->text(), QStringLiteral("分～49分"));
        child<QLineEdit>(&d, "txtThreshold1")->clear();
        QCOMPARE(child<QLabel>(&d, "Label4")->text(), QStringLiteral("分～49分"));
        QTest::mouseClick(child<QCheckBox>(&d, "chkAutoReport"), Qt::LeftButton);
        QVERIFY(!child<QLineEdit>(&d, "txtReportThreshold")->isEnabled());
    }

    void optionsRefuse_data()
    {
        QTest::addColumn<QString>("report");
        QTest::addColumn<QString>("band1");
        QTest::addColumn<QString>("band2");
        QTest::addColumn<bool>("autoReport");
        QTest::addColumn<QString>("message");
        QTest::newRow("1: report letters") << "ab" << "55" << "50" << true << "及格邊緣成績門檻值需為數值!";
        QTest::newRow("2: report 60") << "60" << "55" << "50" << true << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("2: report 0") << "0" << "55" << "50" << true << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("2: report .5, stored 0") << ".5" << "55" << "50" << true << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("2: disabled box still checked") << "99" << "55" << "50" << false << "及格邊緣成績門檻值需介於 0 ～ 59 分間!";
        QTest::newRow("3: both band boxes letters") << "58" << "a" << "b" << true << "「標示區段一」下限須為數值!";
        QTest::newRow("4: band two letters") << "58" << "55" << "b" << true << "「標示區段二」下限須為數值!";
        QTest::newRow("5: band one 60") << "58" << "60" << "50" << true << "「標示區段一」值需介於 0 ～ 59 分間!";
        QTest::newRow("6: bands equal") << "58" << "55" << "55" << true << "「標示區段二」值需介於 0 ～ 55 分間!";
        QTest::newRow("6: equal once stored") << "58" << "1." << ".9" << true << "「標示區段二」值需介於 0 ～ 1 分間!";
    }

    void optionsRefuse()
    {
        QFETCH(QString, report);
        QFETCH(QString, band1);
        QFETCH(QString, band2);
        QFETCH(bool, autoReport);
        QFETCH(QString, message);
        const Settings before = tallyra::settings();
        MessageBoxScript boxes;
        OptionsDialog d;
        d.show();
        typeInto(&d, "txtReportThreshold", report);
        typeInto(&d, "txtThreshold1", band1);
        typeInto(&d, "txtThreshold2", band2);
        child<QCheckBox>(&d, "chkAutoReport")->setChecked(autoReport);
        press(&d, "Command2");

        QCOMPARE(boxes.shown().size(), 1);
        QCOMPARE(boxes.shown()[0].text, message);
        QCOMPARE(boxes.shown()[0].title, QStringLiteral("Tallyra"));
        QCOMPARE(boxes.shown()[0].buttons, QMessageBox::Ok);
        QCOMPARE(boxes.shown()[0].icon, QMessageBox::Warning);
        QVERIFY(d.isVisible());
        QCOMPARE(child<QLineEdit>(&d, "txtReportThreshold")->text(), report);
        QCOMPARE(child<QLineEdit>(&d, "txtThreshold1")->text(), band1);
        QCOMPARE(child<QLineEdit>(&d, "txtThreshold2")->text(), band2);
        QCOMPARE(tallyra::settings(), before);
    }

    void optionsMendingOneBoxMovesToTheNextCheck()
    {
        MessageBoxScript boxes;
        OptionsDialog d;
        d.show();
        typeInto(&d, "txtThreshold1", QStringLiteral("a"));
        typeInto(&d, "txtThreshold2", QStringLiteral("b"));
        press(&d, "Command2");
        typeInto(&d, "txtThreshold1", QStringLiteral("50"));
        press(&d, "Command2");
        QCOMPARE(boxes.shown().size(), 2);
        QCOMPARE(boxes.shown()[0].text, QStringLiteral("「標示區段一」下限須為數值!"));
        QCOMPARE(boxes.shown()[1].text, QStringLiteral("「標示區段二」下限須為數值!"));
    }

    void optionsStore()
    {
        MessageBoxScript boxes;
        tallyra::ColorPicker::setHandler([](const QColor &) { return QColor(0x12, 0x34, 0x56); });
        OptionsDialog d;
        d.show();
        typeInto(&d, "txtReportThreshold", QStringLiteral("5."));
        typeInto(&d, "txtThreshold1", QStringLiteral("45"));
        typeInto(&d, "txtThreshold2", QStringLiteral("30"));
        QTest::mouseClick(child<QCheckBox>(&d, "chkAutoMark"), Qt::LeftButton);
        QTest::mouseClick(child<QCheckBox>(&d, "chkAutoClose"), Qt::LeftButton);
        QTest::mouseClick(child<ColorSwatch>(&d, "Label7"), Qt::LeftButton);
        press(&d, "Command2");

        QVERIFY(boxes.shown().isEmpty());
        QCOMPARE(d.result(), int(QDialog::Accepted));
        Settings expected = Settings::defaults();
        expected.ReportThreshold = 5;
        expected.Threshold1 = 45;
        expected.Threshold2 = 30;
        expected.AutoMark = 0;
        expected.AutoClose = 0;
        expected.MarkColor3 = 0x563412;
        QCOMPARE(tallyra::settings(), expected);
    }

    void optionsColourThenCancel()
    {
        tallyra::ColorPicker::setHandler([](const QColor &) { return QColor(0, 0xFF, 0); });
        OptionsDialog d;
        d.show();
        QTest::mouseClick(child<ColorSwatch>(&d, "Label5"), Qt::LeftButton);
        QCOMPARE(child<ColorSwatch>(&d, "Label5")->colour(), 0x00FF00);
        press(&d, "Command1");
        QCOMPARE(d.result(), int(QDialog::Rejected));
        QCOMPARE(tallyra::settings().MarkColor2, Settings::defaults().MarkColor2);
    }

    void optionsCancelledPickerKeepsTheColour()
    {
        tallyra::settings().MarkColor1 = 0x01ABCDEF; // a hand-edited value with a high byte
        QColor offered;
        tallyra::ColorPicker::setHandler([&offered](const QColor &initial) {
            offered = initial;
            return initial;
        });
        OptionsDialog d;
        QTest::mouseClick(child<ColorSwatch>(&d, "Label3"), Qt::LeftButton);
        QCOMPARE(offered, QColor(0xEF, 0xCD, 0xAB));
        QCOMPARE(child<ColorSwatch>(&d, "Label3")->colour(), 0x01ABCDEF);
    }

    void optionsIgnoreEnterAndEscape()
    {
        MessageBoxScript boxes;
        OptionsDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Enter);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(d.isVisible());
        QVERIFY(boxes.shown().isEmpty());
    }

    void aboutBox()
    {
        AboutDialog d;
        QCOMPARE(d.objectName(), QStringLiteral("frmAbout"));
        QCOMPARE(d.windowTitle(), QStringLiteral("關於 Tallyra"));
        QCOMPARE(d.size(), QSize(382, 274));
        QCOMPARE(child<QLabel>(&d, "lblTitle")->text(), QStringLiteral("Tallyra"));
        QCOMPARE(child<QLabel>(&d, "lblVersion")->text(), QStringLiteral("版本 1.7.1"));
        QCOMPARE(child<QLabel>(&d, "Label2")->text(),
                 QStringLiteral("連絡：") + tallyra::AppEnvironment::current().servers.authorMail);
        QVERIFY(child<QLabel>(&d, "Label2")->font().underline());
        QCOMPARE(child<QLabel>(&d, "Image1")->pixmap().size(), QSize(120, 120));
        QVERIFY(child<QLabel>(&d, "lblLicense")->text().contains(QStringLiteral("GPL-3.0-or-later")));
    }

    // The portal in use, whole when it fits and never wider than the box.
    void aboutBoxShowsThePortal_data()
    {
        QTest::addColumn<QString>("portal");
        QTest::addColumn<bool>("whole");
        QTest::newRow("https") << "https://tis.example.edu.tw/qv/index.php?ver=171" << true;
        QTest::newRow("long") << "https://tis.example.edu.tw/" + QString(200, QLatin1Char('a')) + "/qv/index.php?ver=171" << false;
    }

    void aboutBoxShowsThePortal()
    {
        QFETCH(QString, portal);
        QFETCH(bool, whole);
        tallyra::AppEnvironment env = tallyra::AppEnvironment::compiledIn();
        env.servers.portal = portal;
        tallyra::AppEnvironment::setCurrent(env);
        AboutDialog d;
        tallyra::AppEnvironment::setCurrent(tallyra::AppEnvironment::compiledIn());
        const QLabel *label = child<QLabel>(&d, "lblPortal");
        QCOMPARE(label->text() == QStringLiteral("入口網站：") + portal, whole);
        QVERIFY(label->text().startsWith(QStringLiteral("入口網站：https://tis.")));
        QVERIFY(label->text().endsWith(QStringLiteral("ver=171")));
        QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
        QCOMPARE(label->toolTip(), portal);
        QVERIFY(label->geometry().right() < d.width());
    }

    void aboutBoxClosesOnEnterAndEscape_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Enter") << int(Qt::Key_Return);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }

    void aboutBoxClosesOnEnterAndEscape()
    {
        QFETCH(int, key);
        AboutDialog d;
        d.show();
        QVERIFY(QTest::qWaitForWindowActive(&d));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key));
        QVERIFY(!d.isVisible());
    }

    void aboutContactStartsAMail()
    {
        QList<QUrl> opened;
        bool waitCursorWhileStarting = false;
        tallyra::Shell::setHandler([&](const QUrl &url) {
            opened << url;
            waitCursorWhileStarting = QApplication::overrideCursor()
                                      && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        });
        AboutDialog d;
        d.show();
        QTest::mouseClick(child<QLabel>(&d, "Label2"), Qt::LeftButton);
        QCOMPARE(opened, QList<QUrl>{QUrl(QStringLiteral("mailto:") + tallyra::AppEnvironment::current().servers.authorMail)});
        QVERIFY(waitCursorWhileStarting);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        d.Label2_Click(2);
        QCOMPARE(opened.size(), 1);
    }

    // 輸入紀錄 as the journal on disk has it: newest first, one transfer's
    // students when it is chosen, nothing to edit.
    void journalWindow_data()
    {
        QTest::addColumn<int>("transfers"); // -1: a damaged file
        QTest::addColumn<QString>("state");
        QTest::newRow("no journal yet") << 0 << "還沒有輸入紀錄。";
        QTest::newRow("three transfers") << 3 << "共 3 次輸入";
        QTest::newRow("damaged") << -1 << "已經損壞";
    }

    void journalWindow()
    {
        QFETCH(int, transfers);
        QFETCH(QString, state);
        QTemporaryDir dir;
        tallyra::TransferJournal journal(dir.filePath(QStringLiteral("transfers.tsv")));
        for (int n = 1; n <= transfers; ++n) {
            tallyra::JournalEntry e;
            e.when = QDateTime(QDate(2026, 11, n), QTime(9, 30));
            e.pageTitle = QStringLiteral("成績頁 %1").arg(n);
            e.sheet = QStringLiteral("工作表%1").arg(n);
            e.written = n;
            for (int k = 1; k <= n; ++k)
                e.students.push_back({QStringLiteral("S%1-%2").arg(n).arg(k), QString::number(60 + k), QString()});
            QVERIFY(journal.append(e));
        }
        if (transfers < 0) {
            QFile damaged(journal.path());
            QVERIFY(damaged.open(QIODevice::WriteOnly));
            damaged.write("not a journal");
        }
        const auto fileBytes = [&] {
            QFile f(journal.path());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        const QByteArray before = fileBytes();
        tallyra::JournalWindow w(journal.path());
        w.setAttribute(Qt::WA_DeleteOnClose, false);
        QCOMPARE(w.windowTitle(), QStringLiteral("輸入紀錄"));
        auto *list = child<QListWidget>(&w, "lstTransfers");
        auto *table = child<QTableWidget>(&w, "tblStudents");
        auto *details = child<QPlainTextEdit>(&w, "txtDetails");
        QVERIFY(child<QLabel>(&w, "lblState")->text().contains(state));
        QCOMPARE(list->count(), std::max(transfers, 0));
        QVERIFY(details->isReadOnly());
        QCOMPARE(table->editTriggers(), QAbstractItemView::NoEditTriggers);
        QCOMPARE(fileBytes(), before); // only read, a damaged one too
        if (transfers <= 0) {
            QCOMPARE(table->rowCount(), 0);
            return;
        }
        QVERIFY(list->item(0)->text().contains(QStringLiteral("成績頁 %1").arg(transfers))); // newest first
        QCOMPARE(table->rowCount(), transfers);
        list->setCurrentRow(transfers - 1); // the oldest
        QVERIFY(details->toPlainText().contains(QStringLiteral("成績頁 1")));
        QCOMPARE(table->rowCount(), 1);
        QCOMPARE(table->item(0, 0)->text(), QStringLiteral("S1-1"));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("61"));
    }

    void mainWindowOpensTheJournal()
    {
        TestEnvironment t(QStringLiteral("127.0.0.1:%1").arg(closedPort()));
        t.apply();
        tallyra::MainWindow w;
        w.show();
        const QList<QAction *> items = w.menuBar()->actions();
        const auto undo = items.indexOf(w.findChild<QAction *>(QStringLiteral("mnuUndo")));
        QAction *journal = items.value(undo + 1);
        QVERIFY(journal);
        QCOMPARE(journal->objectName(), QStringLiteral("mnuJournal"));
        QCOMPARE(journal->text(), QStringLiteral("輸入紀錄"));
        journal->trigger();
        QWidget *window = w.findChild<QWidget *>(QStringLiteral("frmJournal"));
        QVERIFY(window);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QVERIFY(child<QLabel>(window, "lblState")->text().contains(QStringLiteral("還沒有輸入紀錄")));
        window->close();
    }

    void mainWindowOpensTheDialogsModally_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("選項 menu") << "Mopt" << "frmOption";
        QTest::newRow("選項設定 button") << "Command3" << "frmOption";
        QTest::newRow("關於本程式") << "mnuAbout" << "frmAbout";
    }

    void mainWindowOpensTheDialogsModally()
    {
        QFETCH(QString, action);
        QFETCH(QString, dialog);
        TestEnvironment t(QStringLiteral("127.0.0.1:%1").arg(closedPort()));
        t.apply();
        tallyra::MainWindow w;
        w.show();
        QString seen;
        Qt::WindowModality modality = Qt::NonModal;
        QTimer::singleShot(200, [&] {
            if (QWidget *modal = QApplication::activeModalWidget()) {
                seen = modal->objectName();
                modality = modal->windowModality();
                static_cast<QDialog *>(modal)->reject();
            }
        });
        if (auto *button = w.findChild<QPushButton *>(action))
            QTest::mouseClick(button, Qt::LeftButton);
        else
            w.findChild<QAction *>(action)->trigger();
        QCOMPARE(seen, dialog);
        QCOMPARE(modality, Qt::WindowModal);
    }
};

TALLYRA_WEB_TEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
