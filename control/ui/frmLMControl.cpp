#include "frmLMControl.h"

#include "ClickLabel.h"
#include "DisplayRanges.h"
#include "ExchangeFolder.h"
#include "ExchangeWatcher.h"
#include "JapaneseFont.h"
#include "JobTrace.h"
#include "QtMessageBoxes.h"
#include "QtTimer.h"
#include "RunController.h"
#include "ShowFileCommands.h"
#include "ShowList.h"
#include "TextRules.h"
#include "Twips.h"
#include "TwipsLayout.h"
#include "Vocabulary.h"
#include "WakeUpSocket.h"
#include "WrapButton.h"
#include "WrapCheckBox.h"
#include "frmFileLoad.h"
#include "frmUrgent.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <optional>

namespace lm {

namespace {

const QColor windowBlue(192, 192, 255);
const QColor inputGrey(224, 224, 224);
const QColor showingYellow(255, 255, 128);
const QColor computerCyan(192, 255, 255);
const QColor linePaleYellow(255, 255, 192);

// Designed client area, twips.
constexpr int clientWidthTwips = 10815;
constexpr int clientHeightTwips = 8100;
// The strip of display cells below it: sixteen cells over the width of the list.
constexpr int wallHeightTwips = 360;
constexpr int wallCellPitchTwips = 653;
constexpr int wallCellGapTwips = 30;

struct CellLook {
    QColor back;
    QColor text;
    const char* mark; // each state has its own, so colour is never the only sign
};

CellLook cellLook(WallCell::State state) {
    switch (state) {
    case WallCell::State::Absent:
        return {QColor(192, 192, 192), QColor(96, 96, 96), "－"};
    case WallCell::State::Idle:
        return {QColor(255, 255, 255), QColor(0, 0, 0), "○"};
    case WallCell::State::Showing:
        return {QColor(192, 255, 192), QColor(0, 0, 0), "▶"};
    case WallCell::State::Urgent:
        return {QColor(255, 192, 0), QColor(0, 0, 0), "！"};
    case WallCell::State::Silent:
        break;
    }
    return {QColor(255, 0, 0), QColor(255, 255, 255), "×"};
}

// Colour number of the line label once the starter has switched every watcher on.
constexpr int starterStoppedColour = 12;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

void fillBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// A list with a text field: the operator picks an entry or types any text, which stays exactly
// as typed (no completion from the entries) and is not added to them.
void makeEditable(QComboBox* combo) {
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    combo->setCompleter(nullptr);
}

} // namespace

frmLMControl::frmLMControl(QWidget* parent) : frmLMControl(Services{}, parent) {}

frmLMControl::frmLMControl(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(services),
      m_clock(services.clock != nullptr ? *services.clock : SystemClock::instance()) {
    setObjectName(QStringLiteral("frmLMControl"));
    setWindowTitle(QStringLiteral("制御機　ミラトス"));
    m_twipsPerPixel = Twips::perPixel(this);

    fillBackground(this, windowBlue);
    setFont(JapaneseFont::gothic(14.25));
    m_client = new QWidget(this);
    m_client->setObjectName(QStringLiteral("client"));
    setCentralWidget(m_client);

    buildEntryFrame();
    buildListArea();
    buildRunArea();
    buildMenus();
    buildWallStrip();

    resize(Twips::toPixels(clientWidthTwips, m_twipsPerPixel),
           Twips::toPixels(clientHeightTwips, m_twipsPerPixel) + menuBar()->sizeHint().height() +
               staWall->height());

    Form_Load();
}

frmLMControl::~frmLMControl() = default;

void frmLMControl::buildEntryFrame() {
    const TwipsLayout layout(m_twipsPerPixel);
    Frame1 =
        layout.make<QGroupBox>(m_client, "Frame1", {120, 0, 10455, 3615}, JapaneseFont::gothic(12));
    Frame1->setTitle(QStringLiteral("　　　表示させる文字、画像の選択"));

    Label3 = layout.make<QLabel>(Frame1, "Label3", {360, 360, 6135, 375}, JapaneseFont::gothic(12));
    Label3->setText(QStringLiteral("表示させる文字"));
    Text1 =
        layout.make<QLineEdit>(Frame1, "Text1", {240, 720, 7695, 495}, JapaneseFont::gothic(12));

    cmdTextClear = layout.make<WrapButton>(Frame1, "cmdTextClear", {8400, 720, 1695, 495},
                                           JapaneseFont::gothic(8.25));
    cmdTextClear->setText(QStringLiteral("テキストクリア"));
    cmdClear = layout.make<WrapButton>(Frame1, "cmdClear", {8400, 1440, 1695, 495},
                                       JapaneseFont::gothic(9.75));
    cmdClear->setText(QStringLiteral("画像選択クリア"));
    cmdText = layout.make<WrapButton>(Frame1, "cmdText", {8400, 2400, 1695, 735},
                                      JapaneseFont::gothic(11.25, true));
    cmdText->setText(QStringLiteral("リストに追加"));
    Label8 =
        layout.make<QLabel>(Frame1, "Label8", {7800, 3240, 2535, 375}, JapaneseFont::gothic(9.75));
    Label8->setText(QStringLiteral("最終行の次に追加されます"));

    Label4 =
        layout.make<QLabel>(Frame1, "Label4", {120, 1560, 1095, 375}, JapaneseFont::gothic(12));
    Label4->setText(QStringLiteral("文字の色"));
    ComboTForeColor = layout.make<QComboBox>(Frame1, "ComboTForeColor", {1560, 1560, 1815, 360},
                                             JapaneseFont::gothic(12));
    Label5 =
        layout.make<QLabel>(Frame1, "Label5", {120, 2280, 1335, 375}, JapaneseFont::gothic(12));
    Label5->setText(QStringLiteral("バックの色"));
    ComboTBackColor = layout.make<QComboBox>(Frame1, "ComboTBackColor", {1560, 2280, 1815, 360},
                                             JapaneseFont::gothic(12));

    lblComputerName = layout.make<QLabel>(Frame1, "lblComputerName", {4200, 1440, 1215, 615},
                                          JapaneseFont::gothic(12));
    lblComputerName->setText(QStringLiteral("表示させる画像"));
    lblComputerName->setWordWrap(true);

    ImagePicture =
        layout.make<ClickLabel>(Frame1, "ImagePicture", {5520, 1440, 2295, 1695}, font());
    ImagePicture->setScaledContents(true);
    lblInput = layout.make<ClickLabel>(Frame1, "lblInput", {5520, 1440, 2295, 1695},
                                       JapaneseFont::gothic(14.25, true));
    lblInput->setText(QStringLiteral("ここをクリックして画像ファイルを選択"));
    lblInput->setWordWrap(true);
    lblInput->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    fillBackground(lblInput, inputGrey);
    QPalette inputPalette = lblInput->palette();
    inputPalette.setColor(QPalette::WindowText, QColor(0, 0, 255));
    lblInput->setPalette(inputPalette);
    lblInput->raise();
    connect(ImagePicture, &ClickLabel::clicked, this, [this] { ImagePicture_Click(0); });
    connect(lblInput, &ClickLabel::clicked, this, [this] { lblInput_Click(0); });
    connect(Text1, &QLineEdit::textChanged, this, &frmLMControl::Text1_Change);
    connect(cmdText, &QPushButton::clicked, this, &frmLMControl::cmdText_Click);
    connect(cmdTextClear, &QPushButton::clicked, this, &frmLMControl::cmdTextClear_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmLMControl::cmdClear_Click);

    makeEditable(ComboTForeColor);
    makeEditable(ComboTBackColor);
}

void frmLMControl::buildListArea() {
    const TwipsLayout layout(m_twipsPerPixel);
    cmdFileLoad = layout.make<WrapButton>(m_client, "cmdFileLoad", {1680, 3840, 1815, 495},
                                          JapaneseFont::gothic(9.75));
    cmdFileLoad->setText(QStringLiteral("表示のリスト  ﾌｧｲﾙ読み込み"));
    cmdFileSave = layout.make<WrapButton>(m_client, "cmdFileSave", {4080, 3840, 1455, 495},
                                          JapaneseFont::gothic(9.75));
    cmdFileSave->setText(QStringLiteral("表示のリストﾌｧｲﾙ保存"));
    cmdDelete = layout.make<WrapButton>(m_client, "cmdDelete", {6600, 3840, 1695, 495},
                                        JapaneseFont::gothic(9.75));
    cmdDelete->setText(QStringLiteral("選択行削除"));
    cmdAllClear = layout.make<WrapButton>(m_client, "cmdAllClear", {8520, 3840, 1695, 495},
                                          JapaneseFont::gothic(9.75));
    cmdAllClear->setText(QStringLiteral("すべて削除"));

    Label9 =
        layout.make<QLabel>(m_client, "Label9", {120, 4200, 3735, 375}, JapaneseFont::gothic(12));
    Label9->setText(QStringLiteral("表示のリスト"));
    // Job files that cannot be written: shown beside the list's label until writing works, in
    // the strip between the buttons and the list, so that it hides neither.
    lblJobWrite = layout.make<QLabel>(m_client, "lblJobWrite", {3960, 4335, 6615, 225},
                                      JapaneseFont::gothic(9.75, true));
    fillBackground(lblJobWrite, QColor(255, 0, 0));
    QPalette alarm = lblJobWrite->palette();
    alarm.setColor(QPalette::WindowText, QColor(255, 255, 255));
    lblJobWrite->setPalette(alarm);
    lblJobWrite->hide();

    List1 = layout.make<QListWidget>(m_client, "List1", {120, 4560, 10455, 2085},
                                     JapaneseFont::gothic(11.25));
    List1->setSortingEnabled(false);
    List1->setSelectionMode(QAbstractItemView::SingleSelection);
    // By mouse or by keys; the selection is made before this runs.
    connect(List1, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_listChanging) {
            List1_Click();
        }
    });
    // A click on the line already selected shows its settings again.
    connect(List1, &QListWidget::itemClicked, this, &frmLMControl::List1_Click);
    connect(cmdDelete, &QPushButton::clicked, this, &frmLMControl::cmdDelete_Click);
    connect(cmdAllClear, &QPushButton::clicked, this, &frmLMControl::cmdAllClear_Click);
    connect(cmdFileLoad, &QPushButton::clicked, this, &frmLMControl::cmdFileLoad_Click);
    connect(cmdFileSave, &QPushButton::clicked, this, &frmLMControl::cmdFileSave_Click);
}

void frmLMControl::buildRunArea() {
    const TwipsLayout layout(m_twipsPerPixel);
    Frame2 = layout.make<QGroupBox>(m_client, "Frame2", {120, 6840, 2415, 1095},
                                    JapaneseFont::gothic(9.75));
    Frame2->setTitle(QStringLiteral("現在の表示"));
    lblDisplay = layout.make<QLabel>(Frame2, "lblDisplay", {120, 360, 1095, 375},
                                     JapaneseFont::gothic(14.25, true));
    lblDisplay->setText(QStringLiteral("表示中"));
    fillBackground(lblDisplay, showingYellow);
    lblDisplay->hide();
    lblCon =
        layout.make<QLabel>(Frame2, "lblCon", {1440, 240, 855, 375}, JapaneseFont::gothic(9.75));
    lblCon->setText(QStringLiteral("ｺﾝﾋﾟｭｰﾀ"));
    fillBackground(lblCon, computerCyan);
    lblNum =
        layout.make<QLabel>(Frame2, "lblNum", {1440, 720, 975, 255}, JapaneseFont::gothic(9.75));
    lblNum->setText(QStringLiteral("行"));
    fillBackground(lblNum, linePaleYellow);

    Label1 = layout.make<QLabel>(m_client, "Label1", {2640, 6840, 1215, 375},
                                 JapaneseFont::gothic(9.75));
    Label1->setText(QStringLiteral("表示の速さ"));
    ComboTSpeed = layout.make<QComboBox>(m_client, "ComboTSpeed", {3960, 6840, 1455, 345},
                                         JapaneseFont::gothic(11.25));
    Label6 = layout.make<QLabel>(m_client, "Label6", {2640, 7320, 1095, 255},
                                 JapaneseFont::gothic(9.75));
    Label6->setText(QStringLiteral("画像の移動"));
    ComboTMove = layout.make<QComboBox>(m_client, "ComboTMove", {3960, 7320, 1455, 315},
                                        JapaneseFont::gothic(9.75));
    Label7 = layout.make<QLabel>(m_client, "Label7", {2640, 7800, 3615, 255},
                                 JapaneseFont::gothic(8.25));
    Label7->setText(QStringLiteral("画像を移動をさせると画面がちらつきます"));

    Check1 = layout.make<WrapCheckBox>(m_client, "Check1", {5640, 7080, 1695, 615},
                                       JapaneseFont::gothic(11.25, true));
    Check1->setText(QStringLiteral("繰り返して表示する"));
    // A sign normally runs its list over and over; the operator clears this for a single pass.
    Check1->setChecked(true);

    cmdDisplay = layout.make<WrapButton>(m_client, "cmdDisplay", {7320, 6960, 1935, 855},
                                         JapaneseFont::gothic(14.25, true));
    cmdDisplay->setText(QStringLiteral("表示させる"));
    cmdStop = layout.make<WrapButton>(m_client, "cmdStop", {9600, 6960, 975, 855},
                                      JapaneseFont::gothic(12));
    cmdStop->setText(QStringLiteral("表示を止める"));
    connect(cmdStop, &QPushButton::clicked, this, &frmLMControl::cmdStop_Click);
    for (QComboBox* combo : {ComboTSpeed, ComboTMove}) {
        connect(combo, &QComboBox::editTextChanged, this, &frmLMControl::keepCopy);
    }
    connect(Check1, &QCheckBox::toggled, this, &frmLMControl::keepCopy);
    connect(cmdDisplay, &QPushButton::clicked, this, &frmLMControl::cmdDisplay_Click);

    // The number of display computers: every show runs for all sixteen, so neither the list
    // nor its label is ever shown.
    ComboNum = layout.make<QComboBox>(m_client, "ComboNum", {5280, 3840, 1575, 360},
                                      JapaneseFont::gothic(12));
    ComboNum->hide();
    Label2 =
        layout.make<QLabel>(m_client, "Label2", {8280, 0, 2055, 495}, JapaneseFont::gothic(9.75));
    Label2->setText(QStringLiteral("表示するコンピュータの台数"));
    Label2->hide();

    for (QComboBox* combo : {ComboTSpeed, ComboTMove, ComboNum}) {
        makeEditable(combo);
    }
}

void frmLMControl::buildMenus() {
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("menuBar"));
    bar->setFont(JapaneseFont::gothic(9.75));
    mnuFile = bar->addMenu(QStringLiteral("ファイル"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuFile->setFont(bar->font());
    mnuFileLoad = mnuFile->addAction(QStringLiteral("読み込み"));
    mnuFileLoad->setObjectName(QStringLiteral("mnuFileLoad"));
    mnu01 = mnuFile->addSeparator();
    mnu01->setObjectName(QStringLiteral("mnu01"));
    mnuFileSave = mnuFile->addAction(QStringLiteral("保存"));
    mnuFileSave->setObjectName(QStringLiteral("mnuFileSave"));

    mnuEnd0 = bar->addMenu(QStringLiteral("終了"));
    mnuEnd0->setObjectName(QStringLiteral("mnuEnd0"));
    mnuEnd0->setFont(bar->font());
    mnuLMEnd = mnuEnd0->addAction(QStringLiteral("表示プログラムをすべて終了させる"));
    mnuLMEnd->setObjectName(QStringLiteral("mnuLMEnd"));
    mnuF1 = mnuEnd0->addSeparator();
    mnuF1->setObjectName(QStringLiteral("mnuF1"));
    mnuLMCEnd = mnuEnd0->addAction(QStringLiteral("このプログラムを終了する"));
    mnuLMCEnd->setObjectName(QStringLiteral("mnuLMCEnd"));
    connect(mnuFileLoad, &QAction::triggered, this, &frmLMControl::mnuFileLoad_Click);
    connect(mnuFileSave, &QAction::triggered, this, &frmLMControl::mnuFileSave_Click);
    connect(mnuLMCEnd, &QAction::triggered, this, &frmLMControl::mnuLMCEnd_Click);
    connect(mnuLMEnd, &QAction::triggered, this, &frmLMControl::mnuLMEnd_Click);

    // The menus from the keyboard without mnemonics, which would change the captions: F10
    // opens "ファイル" whatever the style; the arrow keys go on from there. Alt alone also
    // reaches the menu bar where the style offers it.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setObjectName(QStringLiteral("menuKey"));
    connect(menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(mnuFile->menuAction()); });

    // Its own menu after the others, so that no control and no menu moves.
    mnuUrgent = bar->addMenu(QStringLiteral("緊急表示"));
    mnuUrgent->setObjectName(QStringLiteral("mnuUrgent"));
    mnuUrgent->setFont(bar->font());
    mnuUrgentSay = mnuUrgent->addAction(QStringLiteral("緊急表示を出す..."));
    mnuUrgentSay->setObjectName(QStringLiteral("mnuUrgentSay"));
    mnuUrgentEnd = mnuUrgent->addAction(QStringLiteral("緊急表示を終わらせる"));
    mnuUrgentEnd->setObjectName(QStringLiteral("mnuUrgentEnd"));
    mnuUrgentEnd->setEnabled(false);
    connect(mnuUrgentSay, &QAction::triggered, this, &frmLMControl::mnuUrgentSay_Click);
    connect(mnuUrgentEnd, &QAction::triggered, this, &frmLMControl::mnuUrgentEnd_Click);
    lblUrgent = new QLabel(bar);
    lblUrgent->setObjectName(QStringLiteral("lblUrgent"));
    lblUrgent->setFont(JapaneseFont::gothic(9.75, true));
    // The menu bar's style paints over a palette: white on red, whatever the style.
    lblUrgent->setStyleSheet(
        QStringLiteral("QLabel { background: rgb(255, 0, 0); color: white; }"));
    lblUrgent->hide();
    bar->setCornerWidget(lblUrgent, Qt::TopRightCorner);
}

void frmLMControl::buildWallStrip() {
    staWall = new QStatusBar(this);
    staWall->setObjectName(QStringLiteral("staWall"));
    staWall->setSizeGripEnabled(false);
    const TwipsLayout layout(m_twipsPerPixel);
    staWall->setFixedHeight(layout.pixels(wallHeightTwips));
    setStatusBar(staWall);
    // Placed by hand, as every control of the window, not by the bar's layout.
    for (int n = 1; n <= static_cast<int>(lblWall.size()); ++n) {
        const std::string name = "lblWall" + std::to_string(n);
        QLabel* cell = layout.make<QLabel>(staWall, name.c_str(),
                                           {120 + (n - 1) * wallCellPitchTwips, wallCellGapTwips,
                                            wallCellPitchTwips - wallCellGapTwips,
                                            wallHeightTwips - 2 * wallCellGapTwips},
                                           JapaneseFont::gothic(8.25, true));
        cell->setAlignment(Qt::AlignCenter);
        lblWall[static_cast<std::size_t>(n - 1)] = cell;
        setWallCell(n, WallCell{});
    }
}

void frmLMControl::fillChoiceLists() {
    ComboTMove->clear();
    for (const std::string_view word : vocabulary::movementWords) {
        ComboTMove->addItem(qs(word));
    }
    ComboTMove->setEditText(qs(vocabulary::moveStill));

    ComboTForeColor->clear();
    ComboTBackColor->clear();
    for (const std::string_view word : vocabulary::colourWords) {
        ComboTForeColor->addItem(qs(word));
        ComboTBackColor->addItem(qs(word));
    }
    ComboTForeColor->setEditText(qs(vocabulary::defaultTextColour));
    ComboTBackColor->setEditText(qs(vocabulary::defaultBackColour));

    ComboTSpeed->clear();
    for (const std::string_view word : vocabulary::speedWords) {
        ComboTSpeed->addItem(qs(word));
    }
    ComboTSpeed->setEditText(qs(vocabulary::defaultSpeed));
}

void frmLMControl::centreOnScreen() {
    const QScreen* screen = this->screen();
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
}

void frmLMControl::Form_Load() {
    centreOnScreen();

    ComboNum->clear();
    for (const std::string& number : vocabulary::displayNumberTexts()) {
        ComboNum->addItem(QString::fromStdString(number));
    }
    std::error_code error;
    CurrentDir = std::filesystem::current_path(error);
    ComboNum->setEditText(QStringLiteral("16"));

    fillChoiceLists();

    // Each step on its own: a failure never keeps the later ones from being tried.
    ExchangeFolder(CurrentDir).make();
    removeJobsAndAnswers(CurrentDir);

    RunView& view = *this;
    m_run = std::make_unique<RunController>(m_table, CurrentDir, view, messageBoxes(), m_clock);
    const auto bind = [this](Timer& timer) {
        if (m_services.bindTimer) {
            m_services.bindTimer(timer);
        } else {
            new QtTimer(timer, this);
        }
    };
    for (int n = 0; n < RunController::timerCount; ++n) {
        bind(m_run->timer(n));
    }
    bind(m_run->wallTimer());
    m_presence = std::make_unique<ControlPresence>(m_run->exchange());
    bind(m_presence->timer());
    if (m_services.wakeUpPort != 0) {
        takeWakeUps(m_services.wakeUpPort);
    }
    m_jobTrace = JobTrace::fromEnvironment();
    m_run->setJobWritten([this](int n, const std::string& head) {
        if (m_jobTrace) {
            m_jobTrace->written(n, head, m_clock.realUs());
        }
        const std::optional<SignOfLife>& life = m_run->displayLife(n);
        if (m_wakeUp != nullptr && life && life->port != 0) {
            m_wakeUp->send(n, life->addresses, life->port,
                           m_run->exchange().jobPath(n).filename().string());
        }
    });
    m_presence->start();
    if (!m_services.stateFolder.empty()) {
        m_state = std::make_unique<ControlState>(m_services.stateFolder);
    }
    // Timers on a virtual clock (tests) would meet reports that come at real moments.
    if (!m_services.bindTimer && ExchangeWatcher::wanted()) {
        watchAnswers();
    }
    m_showList = std::make_unique<ShowList>(m_table, m_run->exchange());
    FileChooser& commandsChooser = *this;
    m_fileCommands = std::make_unique<ShowFileCommands>(
        *m_showList, [this] { cmdStop_Click(); }, commandsChooser, m_chooserVariables,
        messageBoxes());
}

void frmLMControl::watchAnswers() {
    auto* watcher = new ExchangeWatcher(CurrentDir, this);
    connect(watcher, &ExchangeWatcher::filesChanged, this, &frmLMControl::filesWritten);
}

void frmLMControl::filesWritten(const QStringList& names) {
    for (const QString& name : names) {
        const std::optional<ExchangeFile> file = ExchangeFolder::fileOf(name.toStdString());
        if (file && file->kind != ExchangeFile::Kind::Job) {
            m_run->answerChanged(file->kind == ExchangeFile::Kind::EndAnswer ? AnswerKind::End
                                                                             : AnswerKind::Next,
                                 file->display);
        }
    }
}

void frmLMControl::takeWakeUps(int port) {
    m_wakeUp = new WakeUpSocket(port, WakeUpGate::controlAnswers(), this);
    connect(m_wakeUp, &WakeUpSocket::filesChanged, this, &frmLMControl::filesWritten);
    const auto publish = [this] {
        m_presence->setWakeUp(m_wakeUp->port(), m_wakeUp->addresses());
        // Without a port of its own, no display's wake-ups can arrive: no cell says so.
        m_run->setWakeUpsHeard(m_wakeUp->port() == 0 ? std::function<bool(int)>() : [this](int n) {
            return m_wakeUp->gate().heardFrom(n);
        });
    };
    publish();
    // A network that comes up after the program (a start at login) is taken when it is there.
    auto* refresh = new QTimer(this);
    refresh->setObjectName(QStringLiteral("wakeUpRefresh"));
    refresh->setInterval(5000);
    connect(refresh, &QTimer::timeout, this, [this, publish] {
        if (m_wakeUp->refresh()) {
            publish();
        }
    });
    refresh->start();
}

void frmLMControl::Form_Unload(Ending ending) {
    if (m_unloaded) {
        return;
    }
    if (ending == Ending::Operator && m_showRunning) {
        m_showRunning = false;
        keepCopy();
    }
    m_unloaded = true;

    // The show ends with the window: no tick may write a job after the clean-up.
    for (int n = 0; n < RunController::timerCount; ++n) {
        m_run->timer(n).setEnabled(false);
    }
    m_run->wallTimer().setEnabled(false);

    removeJobsAndAnswers(CurrentDir);
    m_presence->stop();
    unloadChooser();
}

void frmLMControl::removeJobsAndAnswers(const std::filesystem::path& currentDir) {
    // Answers first, then jobs; every set is tried whatever happened to the one before.
    const ExchangeFolder exchange(currentDir);
    exchange.deleteSet(ExchangeSet::EndAnswers);
    exchange.deleteSet(ExchangeSet::NextAnswers);
    exchange.deleteSet(ExchangeSet::Jobs);
    exchange.deleteSet(ExchangeSet::NextInstants);
    exchange.deleteSet(ExchangeSet::StartInstants);
    // A presence file left by a program long gone must not count; a running display makes
    // its own again within a second.
    exchange.deletePresence();
}

void frmLMControl::unloadChooser() {
    if (!m_ownChooser) {
        return;
    }
    if (m_ownChooser->isVisible()) {
        // Open, so its modal loop still runs further up the stack (the program was ended by a
        // signal): cancel it and let the event loop delete it once that loop has returned.
        m_ownChooser->close();
        m_ownChooser.release()->deleteLater();
        return;
    }
    m_ownChooser.reset();
}

void frmLMControl::mnuLMCEnd_Click() {
    if (!messageBoxes().askYesNo("この、制御プログラムを終了させます。よろしいですか？",
                                 "制御プログラムの終了")) {
        return;
    }
    unloadChooser();
    close();
}

void frmLMControl::cmdStop_Click() {
    m_run->cmdStop_Click();
    m_showRunning = false;
    keepCopy();
}

void frmLMControl::mnuLMEnd_Click() {
    if (m_run->mnuLMEnd_Click()) {
        m_showRunning = false;
        keepCopy();
    }
}

void frmLMControl::cmdDisplay_Click() {
    m_run->cmdDisplay_Click();
    // A start reduces picture paths to bare names: the copy takes them too.
    m_showRunning = m_run->isShowRunning();
    keepCopy();
}

void frmLMControl::mnuFileLoad_Click() {
    if (!m_fileCommands->mnuFileLoad_Click() || m_unloaded) {
        return;
    }
    fillListLines();
    cmdClear_Click();
    listChanged();
}

bool frmLMControl::openShowFile(const std::filesystem::path& path) {
    if (!m_fileCommands->openFile(path) || m_unloaded) {
        return false;
    }
    fillListLines();
    cmdClear_Click();
    listChanged();
    return true;
}

bool frmLMControl::resume(std::string& why) {
    if (!m_state) {
        why = "no folder for the copy of the show list";
        return false;
    }
    const std::optional<ControlState::Copy> copy = m_state->read(why);
    if (!copy) {
        return false;
    }
    m_showList->clear();
    for (const ItemTable::Row& row : copy->items) {
        m_showList->appendRow(row);
    }
    fillListLines();
    {
        // The copy is what it describes; writing it back changes nothing.
        const QSignalBlocker speed(ComboTSpeed);
        const QSignalBlocker movement(ComboTMove);
        const QSignalBlocker repeat(Check1);
        ComboTSpeed->setEditText(QString::fromStdString(copy->settings.speed));
        ComboTMove->setEditText(QString::fromStdString(copy->settings.movement));
        Check1->setChecked(copy->settings.repeat);
    }
    std::optional<UrgentMessage> urgent = copy->settings.urgent;
    if (urgent && urgent->endsAtUs && *urgent->endsAtUs <= m_clock.realUs()) {
        urgent.reset(); // its time ran out while the program was not running
    }
    if (copy->settings.running || urgent) {
        QTimer::singleShot(0, this, [this, running = copy->settings.running, urgent] {
            if (m_unloaded) {
                return;
            }
            if (running) {
                cmdDisplay_Click();
            }
            if (urgent) {
                // For what is left of its time; the show goes on after it.
                m_run->sayUrgent(*urgent);
            }
        });
    }
    return true;
}

void frmLMControl::handleRequest(const ControlRequest& request, const RequestReply& reply) {
    if (m_unloaded) {
        reply({ControlReply::Status::Refused, "the control program is ending"});
        return;
    }
    switch (request.kind) {
    case ControlRequest::Kind::Raise:
        break;
    case ControlRequest::Kind::Open:
    case ControlRequest::Kind::Start:
        handOverShowFile(request.path, request.kind == ControlRequest::Kind::Start, reply);
        break;
    case ControlRequest::Kind::Say: {
        UrgentMessage message;
        message.text = request.text;
        if (std::string refusal = sayUrgent(message, request.minutes); !refusal.empty()) {
            reply({ControlReply::Status::Refused, std::move(refusal)});
            return;
        }
        replyWhenShown(reply);
        return;
    }
    case ControlRequest::Kind::SayEnd:
        m_run->endUrgent();
        reply({});
        return;
    }
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
    if (request.kind == ControlRequest::Kind::Raise) {
        reply({});
    }
}

void frmLMControl::handOverShowFile(const std::filesystem::path& path, bool start,
                                    const RequestReply& reply) {
    // The second start is answered with what the boxes say, before any of them opens.
    HeldMessageBoxes& boxes = messageBoxes();
    boxes.hold();
    bool done = m_fileCommands->handOver(path) && !m_unloaded;
    if (done) {
        fillListLines();
        cmdClear_Click();
        listChanged();
        if (start) {
            cmdDisplay_Click();
            done = m_run->isShowRunning();
        }
    }
    std::vector<HeldMessageBoxes::Warning> said = boxes.release();
    std::string line;
    if (!said.empty()) {
        // The last box is the one that refused; a warning of a load that went on comes first.
        line = done ? said.front().text : said.back().text;
    }
    reply({done ? ControlReply::Status::Done : ControlReply::Status::Refused, std::move(line)});
    showLater(std::move(said));
}

void frmLMControl::replyWhenShown(const RequestReply& reply) {
    // Each display says within a presence refresh or two which job it shows.
    constexpr int lookEveryMs = 100;
    constexpr int waitMs = 2000;
    auto* look = new QTimer(this);
    look->setInterval(lookEveryMs);
    auto waited = std::make_shared<int>(0);
    connect(look, &QTimer::timeout, this, [this, look, waited, reply] {
        *waited += lookEveryMs;
        const UrgentReach reach = m_run->urgentReach();
        if (!reach.waiting.empty() && *waited < waitMs && m_run->urgent()) {
            return;
        }
        look->stop();
        look->deleteLater();
        ControlReply answer{ControlReply::Status::Done, reach.line()};
        if (reach.status() == 1) {
            answer.status = ControlReply::Status::Refused;
        } else if (reach.status() == 3) {
            answer.status = ControlReply::Status::Unconfirmed;
        }
        reply(answer);
    });
    look->start();
}

void frmLMControl::mnuUrgentSay_Click() {
    if (!m_urgentDialog) {
        m_urgentDialog = std::make_unique<frmUrgent>(
            [this](const UrgentMessage& message, int minutes) {
                std::string refusal = sayUrgent(message, minutes);
                if (!refusal.empty()) {
                    messageBoxes().warn(refusal, std::string(ShowList::warningTitle));
                }
                return refusal;
            },
            [this] { mnuUrgentEnd_Click(); }, this);
        // A window of its own beside the control window, which stays usable.
        m_urgentDialog->setWindowFlag(Qt::Window);
        m_urgentDialog->setRunning(m_run->urgent().has_value());
    }
    m_urgentDialog->show();
    m_urgentDialog->raise();
    m_urgentDialog->activateWindow();
}

void frmLMControl::mnuUrgentEnd_Click() {
    m_run->endUrgent();
}

std::string frmLMControl::sayUrgent(UrgentMessage message, int minutes) {
    constexpr std::int64_t usPerMinute = 60'000'000;
    if (minutes > 0) {
        message.endsAtUs = m_clock.realUs() + minutes * usPerMinute;
    }
    return m_run->sayUrgent(std::move(message));
}

void frmLMControl::setUrgent(const std::optional<UrgentMessage>& message) {
    if (message) {
        const QString until = message->endsAtUs
                                  ? QDateTime::fromMSecsSinceEpoch(*message->endsAtUs / 1000)
                                        .toLocalTime()
                                        .toString(QStringLiteral("HH:mm"))
                                  : QString();
        m_urgentCaption = until.isEmpty() ? QStringLiteral("緊急表示中：終わらせるまで")
                                          : QStringLiteral("緊急表示中：%1 まで").arg(until);
        m_urgentText = QString::fromStdString(message->text);
        showUrgentLine();
    }
    lblUrgent->setVisible(message.has_value());
    menuBar()->adjustSize();
    mnuUrgentEnd->setEnabled(message.has_value());
    if (m_urgentDialog) {
        m_urgentDialog->setRunning(message.has_value());
    }
    keepCopy();
}

void frmLMControl::setUrgentReach(const UrgentReach& reach) {
    m_urgentReach = reach;
    showUrgentLine();
}

void frmLMControl::showUrgentLine() {
    // The corner line names the screens that show it; the tool tip has the text and the whole
    // account, as `LMControl --say` gives it.
    QString shown = QStringLiteral("表示なし");
    if (!m_urgentReach.showing.empty()) {
        shown = QStringLiteral("%1 が表示")
                    .arg(QString::fromStdString(displayRanges(m_urgentReach.showing)));
    } else if (!m_urgentReach.reachedNone()) {
        shown = QStringLiteral("未確認");
    }
    lblUrgent->setText(QStringLiteral(" %1（%2） ").arg(m_urgentCaption, shown));
    lblUrgent->setToolTip(m_urgentText + QLatin1Char('\n') +
                          QString::fromStdString(m_urgentReach.line()));
    menuBar()->adjustSize();
}

void frmLMControl::listChanged() {
    if (m_state) {
        m_state->listChanged();
    }
    keepCopy();
}

void frmLMControl::keepCopy() {
    if (!m_state || m_unloaded) {
        return;
    }
    ControlState::Settings settings;
    settings.speed = ComboTSpeed->currentText().toStdString();
    settings.movement = ComboTMove->currentText().toStdString();
    settings.repeat = Check1->isChecked();
    settings.running = m_showRunning;
    settings.urgent = m_run ? m_run->urgent() : std::nullopt;
    m_state->write(m_table, settings);
}

void frmLMControl::mnuFileSave_Click() {
    m_fileCommands->mnuFileSave_Click();
}

void frmLMControl::cmdFileLoad_Click() {
    mnuFileLoad_Click();
}

void frmLMControl::cmdFileSave_Click() {
    mnuFileSave_Click();
}

void frmLMControl::cmdText_Click() {
    cmdStop_Click();
    ItemEntry entry;
    entry.text = Text1->text().toStdString();
    entry.movement = ComboTMove->currentText().toStdString();
    entry.textColour = ComboTForeColor->currentText().toStdString();
    entry.backColour = ComboTBackColor->currentText().toStdString();
    entry.speed = ComboTSpeed->currentText().toStdString();
    entry.picturePath = PicturePath[0];

    const ShowList::AddResult result = m_showList->add(entry);
    switch (result.status) {
    case ShowList::AddResult::Status::Full:
        return;
    case ShowList::AddResult::Status::Refused:
        // The entries stay as they are, so the operator can mend the value.
        messageBoxes().warn(result.warning, std::string(ShowList::warningTitle));
        return;
    case ShowList::AddResult::Status::Added:
        break;
    }
    if (result.line) {
        List1->addItem(QString::fromStdString(*result.line));
    }
    listChanged();
    if (!result.warning.empty()) {
        messageBoxes().warn(result.warning, std::string(ShowList::warningTitle));
    }
    cmdClear_Click();
    Text1->setText(QString());
}

void frmLMControl::List1_Click() {
    const int r = m_showList->rowOfLine(selectedLine());
    if (r < 0) {
        return;
    }
    const ItemTable::Row& row = m_table.row(r);
    const std::string& kind = row[ItemTable::kindField];
    if (kind == vocabulary::kindText) {
        Text1->setText(QString::fromStdString(row[ItemTable::textField]));
        ComboTMove->setEditText(QString::fromStdString(row[ItemTable::movementField]));
        ComboTForeColor->setEditText(QString::fromStdString(row[ItemTable::textColourField]));
        ComboTBackColor->setEditText(QString::fromStdString(row[ItemTable::backColourField]));
        ComboTSpeed->setEditText(QString::fromStdString(row[ItemTable::speedField]));
        cmdClear_Click();
    } else if (kind == vocabulary::kindPicture) {
        ComboTBackColor->setEditText(QString::fromStdString(row[ItemTable::backColourField]));
        ComboTSpeed->setEditText(QString::fromStdString(row[ItemTable::speedField]));
        PicturePath[0] = row[ItemTable::pictureField];
        if (PicturePath[0].empty()) {
            ImagePicture->clear();
            lblInput->show();
        } else {
            // A show file may hold a full path here; the picture is looked for in the Exchange
            // folder under its bare name either way.
            loadPreview(CurrentDir / "data" / bareName(PicturePath[0]));
            lblInput->hide();
        }
    }
}

void frmLMControl::cmdDelete_Click() {
    cmdStop_Click();
    const int line = selectedLine();
    if (line >= 0 && m_showList->removeLine(line)) {
        removeListLine(line);
        listChanged();
    }
    if (selectedLine() >= 0) {
        List1_Click();
    } else {
        cmdTextClear_Click();
        cmdClear_Click();
    }
}

void frmLMControl::cmdAllClear_Click() {
    cmdStop_Click();
    m_showList->clear();
    fillListLines();
    listChanged();
}

void frmLMControl::ImagePicture_Click(int index) {
    m_chooserVariables.SMode = chooserModePicture;
    PictureIndex = index;
    chooser().choose(m_chooserVariables);
    if (m_chooserVariables.SResult != chooserResultOk || m_unloaded) {
        return;
    }
    Text1->setText(QString());
    const std::filesystem::path file =
        std::filesystem::path(m_chooserVariables.SPath) / m_chooserVariables.SName;
    if (PictureIndex != 0 || !loadPreview(file)) {
        return;
    }
    lblInput->hide();
    PicturePath[0] = file.string();
}

void frmLMControl::lblInput_Click(int index) {
    ImagePicture_Click(index);
}

void frmLMControl::cmdClear_Click() {
    ImagePicture->clear();
    lblInput->show();
    PicturePath[0].clear();
}

void frmLMControl::cmdTextClear_Click() {
    Text1->setText(QString());
}

void frmLMControl::Text1_Change() {
    cmdClear_Click();
}

bool frmLMControl::loadPreview(const std::filesystem::path& file) {
    QImageReader reader(QString::fromStdString(file.string()));
    const QImage image = reader.read();
    if (image.isNull()) {
        return false;
    }
    ImagePicture->setPixmap(QPixmap::fromImage(image));
    return true;
}

int frmLMControl::selectedLine() const {
    const QList<QListWidgetItem*> selected = List1->selectedItems();
    return selected.isEmpty() ? -1 : List1->row(selected.front());
}

void frmLMControl::removeListLine(int line) {
    m_listChanging = true;
    delete List1->takeItem(line);
    // No line stays selected after a removal; the list does not move the selection on.
    List1->setCurrentRow(-1);
    List1->clearSelection();
    m_listChanging = false;
}

void frmLMControl::fillListLines() {
    m_listChanging = true;
    List1->clear();
    for (const std::string& line : m_showList->lines()) {
        List1->addItem(QString::fromStdString(line));
    }
    m_listChanging = false;
}

void frmLMControl::closeEvent(QCloseEvent* event) {
    // The session manager closes windows at logout: that is the system, not the operator.
    Form_Unload(qApp->isSavingSession() ? Ending::System : Ending::Operator);
    event->accept();
}

FileChooser& frmLMControl::chooser() {
    if (m_services.chooser != nullptr) {
        return *m_services.chooser;
    }
    if (!m_ownChooser) {
        // A window of its own, without an owner, modal to the whole program.
        m_ownChooser = std::make_unique<frmFileLoad>();
    }
    return *m_ownChooser;
}

void frmLMControl::choose(ChooserVariables& vars) {
    chooser().choose(vars);
}

HeldMessageBoxes& frmLMControl::messageBoxes() {
    if (!m_heldBoxes) {
        MessageBoxes* shown = m_services.messageBoxes;
        if (shown == nullptr) {
            m_ownMessageBoxes = std::make_unique<QtMessageBoxes>(this);
            shown = m_ownMessageBoxes.get();
        }
        m_heldBoxes = std::make_unique<HeldMessageBoxes>(*shown);
    }
    return *m_heldBoxes;
}

void frmLMControl::showLater(std::vector<HeldMessageBoxes::Warning> warnings) {
    if (warnings.empty()) {
        return;
    }
    QTimer::singleShot(0, this, [this, warnings = std::move(warnings)] {
        for (const HeldMessageBoxes::Warning& warning : warnings) {
            if (!m_unloaded) {
                messageBoxes().warn(warning.text, warning.title);
            }
        }
    });
}

std::string frmLMControl::movementText() const {
    return ComboTMove->currentText().toStdString();
}

std::string frmLMControl::speedText() const {
    return ComboTSpeed->currentText().toStdString();
}

std::string frmLMControl::displayCountText() const {
    return ComboNum->currentText().toStdString();
}

bool frmLMControl::repeatChecked() const {
    return Check1->isChecked();
}

void frmLMControl::setShowingVisible(bool visible) {
    lblDisplay->setVisible(visible);
}

void frmLMControl::setComputerCaption(const std::string& caption) {
    lblCon->setText(QString::fromStdString(caption));
}

void frmLMControl::setLineCaption(const std::string& caption) {
    lblNum->setText(QString::fromStdString(caption));
}

void frmLMControl::markStarterStopped() {
    const vocabulary::Rgb red = vocabulary::colourRgb(starterStoppedColour);
    fillBackground(lblNum, QColor(red.red, red.green, red.blue));
}

void frmLMControl::setJobWriteProblem(const std::string& problem) {
    const QString text = QString::fromStdString(problem);
    // One line beside the list's label; the whole text is in the tool tip.
    lblJobWrite->setText(lblJobWrite->fontMetrics().elidedText(
        text, Qt::ElideRight, lblJobWrite->contentsRect().width()));
    lblJobWrite->setToolTip(text);
    lblJobWrite->setVisible(!problem.empty());
}

void frmLMControl::setWallCell(int display, const WallCell& cell) {
    QLabel* label = lblWall.at(static_cast<std::size_t>(display - 1));
    const CellLook look = cellLook(cell.state);
    QString text = QString::number(display) + QString::fromUtf8(look.mark);
    QString tip = QStringLiteral("コンピュータ %1：").arg(display);
    const auto index = static_cast<std::size_t>(display - 1);
    QTime& since = m_silentSince.at(index);
    switch (cell.state) {
    case WallCell::State::Absent:
        tip += QStringLiteral("表示プログラムが見つかりません（起動していないか、data "
                              "フォルダーに届いていません）");
        break;
    case WallCell::State::Idle:
        tip += QStringLiteral("表示プログラムは動いています（表示していません）");
        break;
    case WallCell::State::Showing:
        tip += QStringLiteral("表示のリストの %1 行目を表示しています").arg(cell.line);
        break;
    case WallCell::State::Urgent:
        tip += QStringLiteral("緊急表示を表示しています");
        break;
    case WallCell::State::Silent:
        if (m_cellStates.at(index) != WallCell::State::Silent) {
            since = QTime::currentTime();
        }
        tip += QStringLiteral("%1 から応答がありません。戻るまで、このコンピュータは飛ばして"
                              "表示します")
                   .arg(since.toString(QStringLiteral("HH:mm:ss")));
        break;
    }
    // Marks of their own beside the state's, so that no colour alone tells them; they take
    // the place of the line number, which the tool tip still gives.
    QString marks;
    switch (cell.clock) {
    case WallCell::Clock::Trusted:
        break;
    case WallCell::Clock::Unsynchronised:
        marks += QStringLiteral("△");
        tip += QStringLiteral("\n△ このコンピュータの時計は、時刻合わせ（chrony など）で合って"
                              "いません。隣のコンピュータと同じ瞬間に動けないため、届いた時に"
                              "表示を始めます");
        break;
    case WallCell::Clock::Imprecise:
        marks += QStringLiteral("△");
        tip += QStringLiteral("\n△ このコンピュータの時計の誤差が 2 ms を超えています（推定 %1 "
                              "ms）。隣のコンピュータと同じ瞬間に動けないため、届いた時に表示を"
                              "始めます")
                   .arg(static_cast<double>(cell.clockErrorUs) / 1000.0, 0, 'f', 1);
        break;
    }
    if (cell.noWakeUps) {
        marks += QStringLiteral("※");
        tip += QStringLiteral("\n※ このコンピュータからの知らせ（UDP）が届いていません。"
                              "ファイアウォールがポートを止めていないか確かめて下さい。表示は"
                              "続きますが、画面の受け渡しが遅れます");
    }
    if (!marks.isEmpty()) {
        text += marks;
    } else if (cell.state == WallCell::State::Showing) {
        text += QString::number(cell.line);
    }
    m_cellStates.at(index) = cell.state;
    label->setText(text);
    label->setToolTip(tip);
    fillBackground(label, look.back);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, look.text);
    label->setPalette(palette);
}

} // namespace lm
