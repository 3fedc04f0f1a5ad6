#pragma once

#include "ControlPresence.h"
#include "ControlRequest.h"
#include "ControlState.h"
#include "FileChooser.h"
#include "HeldMessageBoxes.h"
#include "ItemTable.h"
#include "RunView.h"
#include "WallClock.h"

#include <QMainWindow>
#include <QTime>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

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
class JobTrace;
class WakeUpSocket;
class MessageBoxes;
class RunController;
class ShowFileCommands;
class ShowList;
class Timer;
class QtMessageBoxes;
class frmFileLoad;
class frmUrgent;

// The control program's main window: the show list, the entry controls for the next item,
// the show commands and the file commands, and below them the state of every display computer.
class frmLMControl : public QMainWindow, private RunView, private FileChooser {
    Q_OBJECT
public:
    // Where the operator is asked things and where files are chosen. Null: the real message
    // boxes and the program's own chooser window.
    struct Services {
        MessageBoxes* messageBoxes = nullptr;
        FileChooser* chooser = nullptr;
        // Drives each timer of the run controller. Null: a precise QTimer of this window.
        std::function<void(Timer&)> bindTimer;
        // Where the copy of the show list for --resume is kept. Empty: nowhere.
        std::filesystem::path stateFolder;
        // When an urgent message ends. Null: the system's clock.
        const WallClock* clock = nullptr;
        // The UDP port where the displays' wake-ups arrive; 0: none taken, none sent.
        int wakeUpPort = 0;
    };
    // How the program ends: the operator closed it (close box, menu), or the system ended it
    // (a signal, logout). A show the system ended is started again by --resume.
    enum class Ending { Operator, System };

    explicit frmLMControl(QWidget* parent = nullptr);
    explicit frmLMControl(Services services, QWidget* parent = nullptr);
    ~frmLMControl() override;

    // The program directory, taken once at start-up from the process's current directory.
    std::filesystem::path CurrentDir;

    // Runs once, from the constructor.
    void Form_Load();
    // Cleans the Exchange folder of job and answer files and unloads the chooser. Runs
    // however the window or the program ends; only the first call acts.
    void Form_Unload(Ending ending = Ending::System);
    bool isUnloaded() const { return m_unloaded; }
    // Deletes the answer, job and presence files of the Exchange folder under the folder;
    // other files (pictures, show files) stay. Every failure is ignored.
    static void removeJobsAndAnswers(const std::filesystem::path& currentDir);

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
    // Sends an urgent message that runs for `minutes` (0: until it is ended); why not (the
    // operator is not asked), or empty.
    std::string sayUrgent(UrgentMessage message, int minutes);

    // Show files: the menu items and the buttons do the same. A load refills List1 from the
    // loaded list and clears the picture choice.
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

    // A show file from the command line, loaded as "読み込み" loads it (the stop first, the same
    // warnings); true when the list was replaced.
    bool openShowFile(const std::filesystem::path& path);
    // The list and settings of the last run, from the copy kept for --resume; true when it
    // could be read, else `why` says why in one line and the list stays empty. A show that was
    // running when the program last ended without the operator is started again once the
    // event loop runs.
    bool resume(std::string& why);
    // A request from a second LMControl on this computer or from `LMControl --say`: the
    // window comes to the front, a show file is loaded, a show started, an urgent message
    // sent. `reply` is called once with how it went, never after a box the operator must close.
    using RequestReply = std::function<void(const ControlReply&)>;
    void handleRequest(const ControlRequest& request, const RequestReply& reply);

    // The show run controller with its seventeen timers, bound to this window's event loop.
    RunController& runController() { return *m_run; }
    const ShowList& showList() const { return *m_showList; }
    ChooserVariables& chooserVariables() { return m_chooserVariables; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildEntryFrame();
    void buildListArea();
    void buildRunArea();
    void buildMenus();
    void buildWallStrip();
    void fillChoiceLists();
    void centreOnScreen();
    // Answers are taken as soon as the file system reports them, besides the watchers' polls.
    void watchAnswers();
    // The wake-ups over the network: the displays' come in, ours go to each display whose job
    // was written.
    void takeWakeUps(int port);
    // Files of the Exchange folder that were written, as reported or woken up for.
    void filesWritten(const QStringList& names);

    // RunView
    std::string movementText() const override;
    std::string speedText() const override;
    std::string displayCountText() const override;
    bool repeatChecked() const override;
    void setShowingVisible(bool visible) override;
    void setComputerCaption(const std::string& caption) override;
    void setLineCaption(const std::string& caption) override;
    void markStarterStopped() override;
    void setJobWriteProblem(const std::string& problem) override;
    void setWallCell(int display, const WallCell& cell) override;
    void setUrgent(const std::optional<UrgentMessage>& message) override;
    void setUrgentReach(const UrgentReach& reach) override;
    void showUrgentLine();
    // A show file from a second start: loaded (and started), then the reply, then the boxes.
    void handOverShowFile(const std::filesystem::path& path, bool start, const RequestReply& reply);
    // Replies to `--say` once every display sent the message shows it, or after 2 s.
    void replyWhenShown(const RequestReply& reply);
    // Warnings that were held for a reply, shown once the event loop runs again.
    void showLater(std::vector<HeldMessageBoxes::Warning> warnings);

    // FileChooser, for the file commands: opens whichever chooser the window has at the moment,
    // since the program's own chooser window is made at its first use and goes at unload.
    void choose(ChooserVariables& vars) override;

    HeldMessageBoxes& messageBoxes();
    FileChooser& chooser();
    void unloadChooser();
    // Shows the picture file in the preview; false (and the preview unchanged) when it cannot
    // be read as a picture.
    bool loadPreview(const std::filesystem::path& file);
    // The List1 line that is selected, or -1.
    int selectedLine() const;
    // Changes List1 without running List1_Click, as only the operator's selection does.
    void removeListLine(int line);
    // List1 anew from the show list's lines, without running List1_Click.
    void fillListLines();
    // The copy for --resume, written anew after every change of the list or the settings.
    void keepCopy();
    void listChanged();

    Services m_services;
    ItemTable m_table;
    std::unique_ptr<RunController> m_run;
    std::unique_ptr<ShowList> m_showList;
    std::unique_ptr<ShowFileCommands> m_fileCommands;
    bool m_listChanging = false;
    std::unique_ptr<QtMessageBoxes> m_ownMessageBoxes;
    std::unique_ptr<HeldMessageBoxes> m_heldBoxes;
    std::unique_ptr<frmFileLoad> m_ownChooser;
    std::unique_ptr<frmUrgent> m_urgentDialog;
    const WallClock& m_clock;
    ChooserVariables m_chooserVariables;
    double m_twipsPerPixel = 15.0;
    bool m_unloaded = false;
    std::unique_ptr<ControlPresence> m_presence;
    WakeUpSocket* m_wakeUp = nullptr;
    std::unique_ptr<JobTrace> m_jobTrace;
    std::unique_ptr<ControlState> m_state;
    // A show was started and the operator has not stopped it.
    bool m_showRunning = false;

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
    // What each cell shows, and when its display turned silent, for the cell's tool tip.
    std::array<WallCell::State, 16> m_cellStates{};
    std::array<QTime, 16> m_silentSince{};

    QMenu* mnuFile = nullptr;
    QAction* mnuFileLoad = nullptr;
    QAction* mnu01 = nullptr;
    QAction* mnuFileSave = nullptr;
    QMenu* mnuEnd0 = nullptr;
    QAction* mnuLMEnd = nullptr;
    QAction* mnuF1 = nullptr;
    QAction* mnuLMCEnd = nullptr;
    QMenu* mnuUrgent = nullptr;
    QAction* mnuUrgentSay = nullptr;
    QAction* mnuUrgentEnd = nullptr;
    // At the right end of the menu bar while an urgent message runs: until when, and which
    // screens show it.
    QLabel* lblUrgent = nullptr;
    QString m_urgentCaption;
    QString m_urgentText;
    UrgentReach m_urgentReach;
};

} // namespace lm
