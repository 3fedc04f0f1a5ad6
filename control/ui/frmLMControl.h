#pragma once

#include "DeskObserver.h"
#include "DeskOutcome.h"
#include "FileChooser.h"
#include "ItemTable.h"
#include "UrgentReach.h"
#include "WallClock.h"

#include <QMainWindow>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QStatusBar;

namespace lm {

class ClickLabel;
class ControlProgram;
class MessageBoxes;
class OperatorDesk;
class Timer;
class QtMessageBoxes;
class frmFileLoad;
class frmPlan;
class frmUrgent;
class frmWeb;
class WebFrontEnd;

// The control program's main window: the show list, the entry controls for the next item,
// the show commands and the file commands, and below them the state of every display computer.
// It is a view on the operator's desk: each handler forwards its event to the desk and shows
// what the desk says; what it shows of the list, the settings and the run, it reads from the
// desk whenever that changes, whichever front end changed it.
class frmLMControl : public QMainWindow, private DeskObserver, private FileChooser {
    Q_OBJECT
public:
    // Where the operator is asked things and where files are chosen. Null: the real message
    // boxes and the program's own chooser window.
    struct Services {
        MessageBoxes* messageBoxes = nullptr;
        FileChooser* chooser = nullptr;
        // The program the window shows. Null: the window makes one of its own in its working
        // folder, from the fields below.
        ControlProgram* program = nullptr;
        // Drives each timer of the program. Null: a precise QTimer.
        std::function<void(Timer&)> bindTimer;
        // Where the copy of the show list for --resume is kept. Empty: nowhere.
        std::filesystem::path stateFolder;
        // When an urgent message ends. Null: the system's clock.
        const WallClock* clock = nullptr;
        // The UDP port where the displays' wake-ups arrive; 0: none taken, none sent.
        int wakeUpPort = 0;
        // The web API, whose settings the window's dialog changes. Null: no such menu item.
        WebFrontEnd* web = nullptr;
    };
    using Ending = lm::Ending;

    explicit frmLMControl(QWidget* parent = nullptr);
    explicit frmLMControl(Services services, QWidget* parent = nullptr);
    ~frmLMControl() override;

    // The program directory, taken once at start-up from the process's current directory.
    std::filesystem::path CurrentDir;

    // Runs once, from the constructor.
    void Form_Load();
    // The program ends with the window: the desk cleans the Exchange folder up, and the chooser
    // is unloaded. Runs however the window or the program ends; only the first call acts.
    void Form_Unload(Ending ending = Ending::System);
    bool isUnloaded() const { return m_unloaded; }

    void mnuLMCEnd_Click();
    // "表示を止める": stop jobs for every display, every timer off. Run first by every change of
    // the show list.
    void cmdStop_Click();
    // "表示プログラムをすべて終了させる", after confirmation.
    void mnuLMEnd_Click();
    // "表示させる": starts the show, or refuses it with a warning.
    void cmdDisplay_Click();
    // The urgent message: the dialog, and ending the message that runs.
    void mnuUrgentSay_Click();
    void mnuUrgentEnd_Click();
    // The web API's settings dialog.
    void mnuWeb_Click();
    // The week plan: its dialog, and "予定に従う", which reads the plan file afresh (one that
    // cannot be read is said so in a box, and the plan before it, if any, is followed).
    void mnuPlan_Click();
    void mnuPlanFollow_Click(bool checked);

    // Show files: the menu items and the buttons do the same. A load clears the picture
    // choice.
    void mnuFileLoad_Click();
    void mnuFileSave_Click();
    void cmdFileLoad_Click();
    void cmdFileSave_Click();

    // The show list: adding, showing, deleting items; choosing and clearing the picture.
    void cmdText_Click();
    void List1_Click();
    void cmdDelete_Click();
    void cmdAllClear_Click();
    void ImagePicture_Click(int index);
    void lblInput_Click(int index);
    void cmdClear_Click();
    void cmdTextClear_Click();
    void Text1_Change();

    // The picture chosen for the next item: empty, a full path from the chooser, or the bare
    // name of a file in the Exchange folder (taken from a picture item selected in List1).
    std::array<std::string, 1> PicturePath;
    // The element number of the picture box that opened the chooser.
    int PictureIndex = 0;

    // Shows the boxes of an outcome, as the window's own commands do.
    void showOutcome(const DeskOutcome& outcome);

    OperatorDesk& desk();
    ControlProgram& program() { return *m_program; }
    ChooserVariables& chooserVariables() { return m_chooserVariables; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void buildEntryFrame();
    void buildPictureBox();
    void buildListArea();
    void buildRunFrame();
    void buildRunArea();
    void buildMenus();
    void buildUrgentMenu();
    void buildPlanMenu();
    void buildCornerLines();
    void buildWallStrip();
    void fillChoiceLists();
    void centreOnScreen();
    // The program this window shows, its own when none was given.
    void attachProgram();

    // DeskObserver: what changed on the desk, from any front end.
    void deskChanged(DeskChanges changes) override;
    void showSettings();
    void showRun();
    void showJobWriteProblem();
    void showWallCell(int display);
    void showUrgent();
    void showPlan();
    void fitCornerLines();
    void showAnnouncements();
    // The window's lists and check box, as the show runs with them.
    void settingsEdited();

    // FileChooser, for the file commands: opens whichever chooser the window has at the moment,
    // since the program's own chooser window is made at its first use and goes at unload.
    void choose(ChooserVariables& vars) override;
    // The chooser opened for a show file, as a modal step of the desk.
    void chooseShowFile(const char* mode, const char* step);

    MessageBoxes& messageBoxes();
    FileChooser& chooser();
    void unloadChooser();
    // Shows the picture file in the preview; false (and the preview unchanged) when it cannot
    // be read as a picture.
    bool loadPreview(const std::filesystem::path& file);
    // The List1 line that is selected, or -1.
    int selectedLine() const;
    // List1 as the desk's list has it, without running List1_Click: lines added at the end are
    // appended, a line removed is taken out (no line stays selected), anything else fills the
    // list anew.
    void showListLines();

    Services m_services;
    std::unique_ptr<ControlProgram> m_ownProgram;
    ControlProgram* m_program = nullptr;
    bool m_listChanging = false;
    bool m_showingSettings = false;
    std::unique_ptr<QtMessageBoxes> m_ownMessageBoxes;
    std::unique_ptr<frmFileLoad> m_ownChooser;
    std::unique_ptr<frmUrgent> m_urgentDialog;
    std::unique_ptr<frmWeb> m_webDialog;
    std::unique_ptr<frmPlan> m_planDialog;
    ChooserVariables m_chooserVariables;
    double m_twipsPerPixel = 15.0;
    bool m_unloaded = false;

    QWidget* m_client = nullptr;

    QGroupBox* Frame1 = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* Text1 = nullptr;
    QPushButton* cmdTextClear = nullptr;
    QPushButton* cmdClear = nullptr;
    QPushButton* cmdText = nullptr;
    QLabel* Label8 = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* ComboTForeColor = nullptr;
    QLabel* Label5 = nullptr;
    QComboBox* ComboTBackColor = nullptr;
    QLabel* lblComputerName = nullptr;
    ClickLabel* ImagePicture = nullptr;
    ClickLabel* lblInput = nullptr;

    QPushButton* cmdFileLoad = nullptr;
    QPushButton* cmdFileSave = nullptr;
    QPushButton* cmdDelete = nullptr;
    QPushButton* cmdAllClear = nullptr;
    QLabel* Label9 = nullptr;
    QLabel* lblJobWrite = nullptr;
    QListWidget* List1 = nullptr;

    QGroupBox* Frame2 = nullptr;
    QLabel* lblDisplay = nullptr;
    QLabel* lblCon = nullptr;
    QLabel* lblNum = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* ComboTSpeed = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* ComboTMove = nullptr;
    QLabel* Label7 = nullptr;
    QCheckBox* Check1 = nullptr;
    QPushButton* cmdDisplay = nullptr;
    QPushButton* cmdStop = nullptr;
    QComboBox* ComboNum = nullptr;
    QLabel* Label2 = nullptr;

    // The strip below the controls: one cell per display computer, lblWall1 ... lblWall16.
    QStatusBar* staWall = nullptr;
    std::array<QLabel*, 16> lblWall{};

    QMenu* mnuFile = nullptr;
    QAction* mnuFileLoad = nullptr;
    QAction* mnu01 = nullptr;
    QAction* mnuFileSave = nullptr;
    QAction* mnuWeb = nullptr;
    QMenu* mnuEnd0 = nullptr;
    QAction* mnuLMEnd = nullptr;
    QAction* mnuF1 = nullptr;
    QAction* mnuLMCEnd = nullptr;
    QMenu* mnuUrgent = nullptr;
    QAction* mnuUrgentSay = nullptr;
    QAction* mnuUrgentEnd = nullptr;
    QMenu* mnuPlan0 = nullptr;
    QAction* mnuPlan = nullptr;
    QAction* mnuPlanFollow = nullptr;
    // At the right end of the menu bar while a plan is followed: what the plan did last, what
    // holds and what comes next (the desk's notice).
    QLabel* lblPlan = nullptr;
    // Beside it while an urgent message runs: until when, and which screens show it.
    QLabel* lblUrgent = nullptr;
};

} // namespace lm
