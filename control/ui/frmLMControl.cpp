#include "frmLMControl.h"

#include "ClickLabel.h"
#include "ControlProgram.h"
#include "DisplayRanges.h"
#include "JapaneseFont.h"
#include "OperatorDesk.h"
#include "QtMessageBoxes.h"
#include "TextRules.h"
#include "Twips.h"
#include "TwipsLayout.h"
#include "Vocabulary.h"
#include "WallCellText.h"
#include "WrapButton.h"
#include "WrapCheckBox.h"
#include "frmFileLoad.h"
#include "frmPlan.h"
#include "frmUrgent.h"
#include "frmWeb.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QTimer>
#include <algorithm>
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

QColor colourOf(const WallCellText::Rgb& rgb) {
    return {rgb.red, rgb.green, rgb.blue};
}

void showCell(QLabel* label, const WallCellText& shown) {
    label->setText(QString::fromStdString(shown.text));
    label->setToolTip(QString::fromStdString(shown.tip));
    fillBackground(label, colourOf(shown.back));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, colourOf(shown.ink));
    label->setPalette(palette);
}

} // namespace

frmLMControl::frmLMControl(QWidget* parent) : frmLMControl(Services{}, parent) {}

frmLMControl::frmLMControl(Services services, QWidget* parent)
    : QMainWindow(parent), m_services(std::move(services)) {
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

frmLMControl::~frmLMControl() {
    if (m_program != nullptr && !m_unloaded) {
        desk().removeObserver(*this);
    }
}

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

    buildPictureBox();
    connect(Text1, &QLineEdit::textChanged, this, &frmLMControl::Text1_Change);
    connect(cmdText, &QPushButton::clicked, this, &frmLMControl::cmdText_Click);
    connect(cmdTextClear, &QPushButton::clicked, this, &frmLMControl::cmdTextClear_Click);
    connect(cmdClear, &QPushButton::clicked, this, &frmLMControl::cmdClear_Click);

    makeEditable(ComboTForeColor);
    makeEditable(ComboTBackColor);
}

void frmLMControl::buildPictureBox() {
    const TwipsLayout layout(m_twipsPerPixel);
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

void frmLMControl::buildRunFrame() {
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
}

void frmLMControl::buildRunArea() {
    const TwipsLayout layout(m_twipsPerPixel);
    buildRunFrame();
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
        connect(combo, &QComboBox::editTextChanged, this, &frmLMControl::settingsEdited);
    }
    connect(Check1, &QCheckBox::toggled, this, &frmLMControl::settingsEdited);
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
    connect(ComboNum, &QComboBox::editTextChanged, this, &frmLMControl::settingsEdited);
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
    // Last in "ファイル", only when the program serves a web API.
    if (m_services.web != nullptr) {
        mnuFile->addSeparator();
        mnuWeb = mnuFile->addAction(QStringLiteral("ウェブ API の設定..."));
        mnuWeb->setObjectName(QStringLiteral("mnuWeb"));
        connect(mnuWeb, &QAction::triggered, this, &frmLMControl::mnuWeb_Click);
    }

    // The menus from the keyboard without mnemonics, which would change the captions: F10
    // opens "ファイル" whatever the style; the arrow keys go on from there. Alt alone also
    // reaches the menu bar where the style offers it.
    auto* menuKey = new QShortcut(QKeySequence(Qt::Key_F10), this);
    menuKey->setObjectName(QStringLiteral("menuKey"));
    connect(menuKey, &QShortcut::activated, this,
            [this] { menuBar()->setActiveAction(mnuFile->menuAction()); });

    buildUrgentMenu();
    buildPlanMenu();
    buildCornerLines();
}

void frmLMControl::buildUrgentMenu() {
    QMenuBar* bar = menuBar();
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
}

void frmLMControl::buildPlanMenu() {
    QMenuBar* bar = menuBar();
    // "予定" after "緊急表示", so that no control and no menu moves.
    mnuPlan0 = bar->addMenu(QStringLiteral("予定"));
    mnuPlan0->setObjectName(QStringLiteral("mnuPlan0"));
    mnuPlan0->setFont(bar->font());
    mnuPlan = mnuPlan0->addAction(QStringLiteral("週の予定..."));
    mnuPlan->setObjectName(QStringLiteral("mnuPlan"));
    mnuPlanFollow = mnuPlan0->addAction(QStringLiteral("予定に従う"));
    mnuPlanFollow->setObjectName(QStringLiteral("mnuPlanFollow"));
    mnuPlanFollow->setCheckable(true);
    connect(mnuPlan, &QAction::triggered, this, &frmLMControl::mnuPlan_Click);
    connect(mnuPlanFollow, &QAction::triggered, this, &frmLMControl::mnuPlanFollow_Click);
}

void frmLMControl::buildCornerLines() {
    auto* corner = new QWidget(menuBar());
    corner->setObjectName(QStringLiteral("menuCorner"));
    auto* lines = new QHBoxLayout(corner);
    lines->setContentsMargins(0, 0, 0, 0);
    lines->setSpacing(4);
    lblPlan = new QLabel(corner);
    lblPlan->setObjectName(QStringLiteral("lblPlan"));
    lblPlan->setFont(JapaneseFont::gothic(9.75));
    lblPlan->setStyleSheet(
        QStringLiteral("QLabel { background: rgb(255, 255, 192); color: black; }"));
    lblPlan->hide();
    lines->addWidget(lblPlan);
    lblUrgent = new QLabel(corner);
    lblUrgent->setObjectName(QStringLiteral("lblUrgent"));
    lblUrgent->setFont(JapaneseFont::gothic(9.75, true));
    // The menu bar's style paints over a palette: white on red, whatever the style.
    lblUrgent->setStyleSheet(
        QStringLiteral("QLabel { background: rgb(255, 0, 0); color: white; }"));
    lblUrgent->hide();
    lines->addWidget(lblUrgent);
    menuBar()->setCornerWidget(corner, Qt::TopRightCorner);
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
        showCell(cell, WallCellText::of(n, WallCell{}, {}));
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
    attachProgram();
}

void frmLMControl::attachProgram() {
    m_program = m_services.program;
    if (m_program == nullptr) {
        ControlProgram::Options options;
        options.workDir = CurrentDir;
        options.stateFolder = m_services.stateFolder;
        options.clock = m_services.clock;
        options.bindTimer = m_services.bindTimer;
        options.wakeUpPort = m_services.wakeUpPort;
        m_ownProgram = std::make_unique<ControlProgram>(std::move(options));
        m_program = m_ownProgram.get();
        // Makes the Exchange folder and empties it of job and answer files.
        m_program->start();
    }
    m_program->setRaise([this] {
        setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        show();
        raise();
        activateWindow();
    });
    desk().addObserver(*this);
    showSettings();
    showRun();
    showJobWriteProblem();
    showListLines();
    for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
        showWallCell(n);
    }
    showUrgent();
    showPlan();
}

OperatorDesk& frmLMControl::desk() {
    return m_program->desk();
}

void frmLMControl::deskChanged(DeskChanges changes) {
    if (m_unloaded) {
        return;
    }
    if (has(changes, DeskChange::List)) {
        showListLines();
    }
    if (has(changes, DeskChange::Loaded)) {
        cmdClear_Click();
    }
    if (has(changes, DeskChange::Settings)) {
        showSettings();
    }
    if (has(changes, DeskChange::Run)) {
        showRun();
    }
    if (has(changes, DeskChange::JobWrite)) {
        showJobWriteProblem();
    }
    if (has(changes, DeskChange::Wall)) {
        for (int n = 1; n <= vocabulary::maxDisplays; ++n) {
            showWallCell(n);
        }
    }
    if (has(changes, DeskChange::Urgent)) {
        showUrgent();
    }
    if (has(changes, DeskChange::Plan) || has(changes, DeskChange::Notice)) {
        showPlan();
    }
    if (has(changes, DeskChange::Announcement)) {
        // Once the command that made them has returned: a box holds up everything after it.
        QTimer::singleShot(0, this, &frmLMControl::showAnnouncements);
    }
}

void frmLMControl::showSettings() {
    const ShowSettings& settings = desk().settings();
    m_showingSettings = true;
    const auto show = [](QComboBox* combo, const std::string& text) {
        if (combo->currentText().toStdString() != text) {
            combo->setEditText(QString::fromStdString(text));
        }
    };
    show(ComboTMove, settings.movement);
    show(ComboTSpeed, settings.speed);
    show(ComboNum, settings.displayCount);
    Check1->setChecked(settings.repeat);
    m_showingSettings = false;
}

void frmLMControl::settingsEdited() {
    if (m_showingSettings || m_program == nullptr) {
        return;
    }
    ShowSettings settings;
    settings.movement = ComboTMove->currentText().toStdString();
    settings.speed = ComboTSpeed->currentText().toStdString();
    settings.displayCount = ComboNum->currentText().toStdString();
    settings.repeat = Check1->isChecked();
    desk().setSettings(settings);
}

void frmLMControl::showRun() {
    const DeskState& state = desk().state();
    lblDisplay->setVisible(state.showingVisible);
    lblCon->setText(QString::fromStdString(state.computerCaption));
    lblNum->setText(QString::fromStdString(state.lineCaption));
    if (state.starterStopped) {
        const vocabulary::Rgb red = vocabulary::colourRgb(starterStoppedColour);
        fillBackground(lblNum, QColor(red.red, red.green, red.blue));
    }
}

void frmLMControl::showJobWriteProblem() {
    const QString text = QString::fromStdString(desk().state().jobWriteProblem);
    // One line beside the list's label; the whole text is in the tool tip.
    lblJobWrite->setText(lblJobWrite->fontMetrics().elidedText(
        text, Qt::ElideRight, lblJobWrite->contentsRect().width()));
    lblJobWrite->setToolTip(text);
    lblJobWrite->setVisible(!text.isEmpty());
}

void frmLMControl::showWallCell(int display) {
    const DeskState& state = desk().state();
    const auto index = static_cast<std::size_t>(display);
    const WallCell& cell = state.cells.at(index);
    QString since;
    if (cell.state == WallCell::State::Silent) {
        since = QDateTime::fromMSecsSinceEpoch(state.silentSinceUs.at(index) / 1000)
                    .toLocalTime()
                    .toString(QStringLiteral("HH:mm:ss"));
    }
    showCell(lblWall.at(index - 1), WallCellText::of(display, cell, since.toStdString()));
}

void frmLMControl::showUrgent() {
    const DeskState& state = desk().state();
    const std::optional<UrgentMessage>& message = state.urgent;
    if (message) {
        const QString until = message->endsAtUs
                                  ? QDateTime::fromMSecsSinceEpoch(*message->endsAtUs / 1000)
                                        .toLocalTime()
                                        .toString(QStringLiteral("HH:mm"))
                                  : QString();
        const QString caption = until.isEmpty() ? QStringLiteral("緊急表示中：終わらせるまで")
                                                : QStringLiteral("緊急表示中：%1 まで").arg(until);
        // The corner line names the screens that show it; the tool tip has the text and the
        // whole account, as `LMControl --say` gives it.
        QString shown = QStringLiteral("表示なし");
        if (!state.reach.showing.empty()) {
            shown = QStringLiteral("%1 が表示")
                        .arg(QString::fromStdString(displayRanges(state.reach.showing)));
        } else if (!state.reach.reachedNone()) {
            shown = QStringLiteral("未確認");
        }
        lblUrgent->setText(QStringLiteral(" %1（%2） ").arg(caption, shown));
        lblUrgent->setToolTip(QString::fromStdString(message->text) + QLatin1Char('\n') +
                              QString::fromStdString(state.reach.line()));
    }
    lblUrgent->setVisible(message.has_value());
    fitCornerLines();
    mnuUrgentEnd->setEnabled(message.has_value());
    if (m_urgentDialog) {
        m_urgentDialog->setRunning(message.has_value());
    }
}

void frmLMControl::showPlan() {
    const DeskState& state = desk().state();
    mnuPlanFollow->setChecked(state.followPlan);
    const QString notice = QString::fromStdString(state.notice);
    lblPlan->setToolTip(notice);
    lblPlan->setVisible(state.followPlan && !notice.isEmpty());
    fitCornerLines();
}

void frmLMControl::fitCornerLines() {
    // The menus keep their room: the plan's line takes what is left beside them and the urgent
    // line, and its tool tip holds the whole of it.
    QMenuBar* bar = menuBar();
    constexpr int gap = 24;
    int room = bar->width() - bar->actionGeometry(mnuPlan0->menuAction()).right() - gap;
    if (!lblUrgent->isHidden()) {
        room -= lblUrgent->sizeHint().width() + gap;
    }
    const QFontMetrics metrics = lblPlan->fontMetrics();
    const int padding = metrics.horizontalAdvance(QStringLiteral("  "));
    lblPlan->setText(QStringLiteral(" %1 ").arg(
        metrics.elidedText(lblPlan->toolTip(), Qt::ElideRight, std::max(room - padding, padding))));
    bar->cornerWidget(Qt::TopRightCorner)->adjustSize();
    bar->adjustSize();
}

void frmLMControl::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (lblPlan != nullptr) {
        fitCornerLines();
    }
}

void frmLMControl::mnuPlan_Click() {
    if (!m_planDialog || !m_planDialog->isVisible()) {
        const std::filesystem::path path = desk().planPath();
        m_planDialog = std::make_unique<frmPlan>(path, messageBoxes(), this);
        // A window of its own beside the control window, which stays usable.
        m_planDialog->setWindowFlag(Qt::Window);
        m_planDialog->setOnSaved(
            [this, path](const WeekPlan& plan) { desk().usePlan(path, plan); });
    }
    m_planDialog->show();
    m_planDialog->raise();
    m_planDialog->activateWindow();
}

void frmLMControl::mnuPlanFollow_Click(bool checked) {
    showOutcome(desk().followPlanFile(checked));
    // Refused, the item goes back to what the desk says.
    showPlan();
}

void frmLMControl::showAnnouncements() {
    for (const DeskMessage& message : desk().takeAnnouncements()) {
        if (!m_unloaded) {
            messageBoxes().warn(message.text, message.title);
        }
    }
}

void frmLMControl::showOutcome(const DeskOutcome& outcome) {
    for (const DeskMessage& message : outcome.messages) {
        if (!m_unloaded) {
            messageBoxes().warn(message.text, message.title);
        }
    }
}

void frmLMControl::Form_Unload(Ending ending) {
    if (m_unloaded) {
        return;
    }
    m_unloaded = true;
    // The show ends with the window: no tick may write a job after the clean-up.
    m_program->end(ending);
    desk().removeObserver(*this);
    unloadChooser();
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
    desk().stop();
}

void frmLMControl::mnuLMEnd_Click() {
    if (messageBoxes().askYesNo(std::string(OperatorDesk::endDisplaysText),
                                std::string(OperatorDesk::endDisplaysTitle))) {
        desk().endDisplays();
    }
}

void frmLMControl::cmdDisplay_Click() {
    showOutcome(desk().start());
}

void frmLMControl::chooseShowFile(const char* mode, const char* step) {
    m_chooserVariables.SMode = mode;
    // Another front end must not change the list while the operator chooses its file.
    const OperatorDesk::Step held = desk().holdStep(step);
    chooser().choose(m_chooserVariables);
}

void frmLMControl::mnuFileLoad_Click() {
    desk().stopBeforeChooser();
    chooseShowFile(chooserModeLoad, "データファイルの読み込み");
    if (!m_unloaded) {
        showOutcome(desk().loadChosen(m_chooserVariables));
    }
}

void frmLMControl::mnuFileSave_Click() {
    desk().stopBeforeChooser();
    chooseShowFile(chooserModeSave, "データファイルの保存");
    if (!m_unloaded) {
        showOutcome(desk().saveChosen(m_chooserVariables));
    }
}

void frmLMControl::cmdFileLoad_Click() {
    mnuFileLoad_Click();
}

void frmLMControl::cmdFileSave_Click() {
    mnuFileSave_Click();
}

void frmLMControl::mnuUrgentSay_Click() {
    if (!m_urgentDialog) {
        m_urgentDialog = std::make_unique<frmUrgent>(
            [this](const UrgentMessage& message, int minutes) {
                const DeskOutcome outcome = desk().say(message, minutes);
                showOutcome(outcome);
                return outcome.done() ? std::string() : outcome.words();
            },
            [this] { mnuUrgentEnd_Click(); }, this);
        // A window of its own beside the control window, which stays usable.
        m_urgentDialog->setWindowFlag(Qt::Window);
        m_urgentDialog->setRunning(desk().state().urgent.has_value());
    }
    m_urgentDialog->show();
    m_urgentDialog->raise();
    m_urgentDialog->activateWindow();
}

void frmLMControl::mnuWeb_Click() {
    if (!m_webDialog) {
        m_webDialog = std::make_unique<frmWeb>(*m_services.web, this);
    }
    m_webDialog->show();
    m_webDialog->raise();
    m_webDialog->activateWindow();
}

void frmLMControl::mnuUrgentEnd_Click() {
    desk().endUrgent();
}

void frmLMControl::cmdText_Click() {
    ItemEntry entry;
    entry.text = Text1->text().toStdString();
    entry.movement = ComboTMove->currentText().toStdString();
    entry.textColour = ComboTForeColor->currentText().toStdString();
    entry.backColour = ComboTBackColor->currentText().toStdString();
    entry.speed = ComboTSpeed->currentText().toStdString();
    entry.picturePath = PicturePath[0];

    const DeskOutcome outcome = desk().add(entry);
    // Refused, the entries stay as they are, so the operator can mend the value.
    showOutcome(outcome);
    if (outcome.done()) {
        cmdClear_Click();
        Text1->setText(QString());
    }
}

void frmLMControl::List1_Click() {
    const std::optional<ItemTable::Row> row = desk().choose(selectedLine());
    if (!row) {
        return;
    }
    // The speed, and for a text the movement, come from the desk as the show's settings.
    const std::string& kind = (*row)[ItemTable::kindField];
    if (kind == vocabulary::kindText) {
        Text1->setText(QString::fromStdString((*row)[ItemTable::textField]));
        ComboTForeColor->setEditText(QString::fromStdString((*row)[ItemTable::textColourField]));
        ComboTBackColor->setEditText(QString::fromStdString((*row)[ItemTable::backColourField]));
        cmdClear_Click();
    } else if (kind == vocabulary::kindPicture) {
        ComboTBackColor->setEditText(QString::fromStdString((*row)[ItemTable::backColourField]));
        PicturePath[0] = (*row)[ItemTable::pictureField];
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
    desk().remove(selectedLine());
    if (selectedLine() >= 0) {
        List1_Click();
    } else {
        cmdTextClear_Click();
        cmdClear_Click();
    }
}

void frmLMControl::cmdAllClear_Click() {
    desk().clear();
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

void frmLMControl::showListLines() {
    const std::vector<std::string>& lines = desk().list().lines();
    const auto shownCount = static_cast<std::size_t>(List1->count());
    const auto shown = [&](std::size_t i) {
        return List1->item(static_cast<int>(i))->text();
    };
    const auto wanted = [&](std::size_t i) {
        return QString::fromStdString(lines[i]);
    };
    std::size_t same = 0;
    while (same < shownCount && same < lines.size() && shown(same) == wanted(same)) {
        ++same;
    }
    m_listChanging = true;
    if (same == shownCount) {
        for (std::size_t i = same; i < lines.size(); ++i) {
            List1->addItem(wanted(i));
        }
    } else if (shownCount == lines.size() + 1) {
        // One line went. No line stays selected after a removal; the list does not move the
        // selection on.
        delete List1->takeItem(static_cast<int>(same));
        List1->setCurrentRow(-1);
        List1->clearSelection();
    } else if (shownCount == lines.size() && same + 1 == shownCount) {
        List1->item(static_cast<int>(same))->setText(wanted(same));
    } else {
        List1->clear();
        for (std::size_t i = 0; i < lines.size(); ++i) {
            List1->addItem(wanted(i));
        }
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

MessageBoxes& frmLMControl::messageBoxes() {
    if (m_services.messageBoxes != nullptr) {
        return *m_services.messageBoxes;
    }
    if (!m_ownMessageBoxes) {
        m_ownMessageBoxes = std::make_unique<QtMessageBoxes>(this);
    }
    return *m_ownMessageBoxes;
}

} // namespace lm
