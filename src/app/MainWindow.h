#pragma once

#include "import/TransferUndo.h"

#include <QMainWindow>
#include <QVector>

class QAction;
class QTimer;
class QMenu;
class QPushButton;

namespace tallyra {

class Browser;

// The main window "main": browser shell, the eight command buttons and the
// menus. Handlers carry the names of the controls and events they serve.
class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    Browser *WebBrowser1() const { return m_browser; }
    QString PortalUrl() const { return m_portalUrl; }

    void LoadSettings();
    void SaveSettings();
    bool IsGradePage();
    bool markColor();

    static QString designCaption();

public slots:
    void cmdback_Click();
    void cmdforward_Click();
    void cmdhome_Click();
    void cmdstop_Click();
    void cmdrefresh_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Mopt_Click();
    void mnuAbout_Click();
    void Mweb_Click();
    void mnuExit_Click();
    void mnuUndo_Click();
    void WebBrowser1_WindowClosing();
    void WebBrowser1_NavigateError(const QString &url);

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Keeps 復原上次輸入成績 enabled exactly while the page of the last
    // transfer is still shown.
    void updateUndo();

    void Form_Load();
    void waitForStartPage();
    void Form_Resize();
    void Form_QueryUnload();

    void refuseNotAGradePage(const QString &command);
    void refuseNotResponding(const QString &command);
    QPushButton *addButton(const char *name, const QString &caption, int left, int width);
    void buildMenus();

    QWidget *m_client = nullptr;
    Browser *m_browser = nullptr;
    QString m_portalUrl;
    TransferUndo m_lastTransfer;
    QAction *m_undo = nullptr;
    QTimer *m_undoCheck = nullptr;
    bool m_saveFailureShown = false;
    QVector<qint64> m_closeRefusals; // when the close question was answered No, ms since the epoch
    bool m_ignoreCloseRequests = false; // until the page navigates
};

} // namespace tallyra
