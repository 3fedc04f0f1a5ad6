#include "Velisto.h"

#include "ExchangeWatcher.h"
#include "JapaneseFont.h"
#include "Monitors.h"
#include "NumberText.h"
#include "PictureBox.h"
#include "RememberedNumbers.h"
#include "SignGlide.h"
#include "SignLabel.h"
#include "TickTraceFile.h"
#include "Twips.h"
#include "Vocabulary.h"
#include "WakeUpPorts.h"
#include "WakeUpSocket.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <cmath>
#include <system_error>

namespace lm {

namespace {

const QString windowCaption = QStringLiteral("ミラトス");

// The label is this many window widths wide; it bounds the longest text that can be shown.
constexpr int labelWidths = 200;
constexpr int loadLabelWidths = 300;

QString fromStd(const std::string& text) {
    return QString::fromStdString(text);
}

QColor paletteColour(int number) {
    const vocabulary::Rgb rgb = vocabulary::colourRgb(number);
    return {rgb.red, rgb.green, rgb.blue};
}

} // namespace

Velisto::Velisto(std::filesystem::path workDir, QScreen* monitor, RememberedNumbers* remembered,
                 QWidget* parent)
    : QWidget(parent), m_logic(*this, workDir), m_remembered(remembered) {
    setObjectName(QStringLiteral("Velisto"));
    QScreen* screen = monitor != nullptr ? monitor : Monitors::underPointer();
    if (screen != nullptr) {
        setScreen(screen);
        m_monitorKey = Monitors::key(screen);
    }
    setWindowTitle(windowCaption);
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFont(JapaneseFont::gothic(9));
    setAutoFillBackground(true);
    buildControls();
    Form_Load();
    m_trace = TickTraceFile::fromEnvironment();
    m_logic.setTickTrace(m_trace.get());
    // LMSIGN_INSTANTS=off: every item starts as its job arrives (a measurement of how it was).
    m_logic.engine().setInstantsUsed(qEnvironmentVariable("LMSIGN_INSTANTS") !=
                                     QLatin1String("off"));
    std::error_code error;
    // The program never changes its working folder.
    m_workDir = workDir.empty() ? std::filesystem::current_path(error) : workDir;
    if (ExchangeWatcher::wanted()) {
        m_watcher = std::make_unique<ExchangeWatcher>(m_workDir);
        connect(m_watcher.get(), &ExchangeWatcher::filesChanged, this,
                [this](const QStringList& names) {
                    std::vector<std::string> files;
                    for (const QString& name : names) {
                        files.push_back(name.toStdString());
                    }
                    m_logic.exchangeFilesChanged(files);
                });
    }
}

Velisto::~Velisto() = default;

QRect Velisto::twipsRect(int left, int top, int width, int height) const {
    return {Twips::toPixels(left, m_STwips), Twips::toPixels(top, m_STwips),
            Twips::toPixels(width, m_STwips), Twips::toPixels(height, m_STwips)};
}

void Velisto::buildControls() {
    m_STwips = Twips::perPixel(this);

    m_lblLM1 = new SignLabel(this);
    m_lblLM1->setObjectName(QStringLiteral("lblLM1"));
    m_image1 = new PictureBox(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image2 = new PictureBox(this);
    m_image2->setObjectName(QStringLiteral("Image2"));

    // The button and the panel stand above the sign surface.
    m_command3 = new QPushButton(QStringLiteral("終了？"), this);
    m_command3->setObjectName(QStringLiteral("Command3"));
    m_command3->setFont(JapaneseFont::gothic(12, true));
    m_command3->setGeometry(twipsRect(120, 120, 1215, 615));
    connect(m_command3, &QPushButton::clicked, this, &Velisto::Command3_Click);

    m_frame1 = new QGroupBox(QStringLiteral("初期設定"), this);
    m_frame1->setObjectName(QStringLiteral("Frame1"));
    m_frame1->setFont(JapaneseFont::gothic(12));
    m_frame1->setGeometry(twipsRect(840, 840, 4695, 3015));

    m_label1 = new QLabel(QStringLiteral("表示する順に番号を選んで下さい。"), m_frame1);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label1->setFont(JapaneseFont::gothic(12));
    m_label1->setGeometry(twipsRect(120, 480, 4335, 495));

    m_combo1 = new QComboBox(m_frame1);
    m_combo1->setObjectName(QStringLiteral("Combo1"));
    m_combo1->setEditable(true);
    m_combo1->setInsertPolicy(QComboBox::NoInsert);
    m_combo1->setFont(JapaneseFont::gothic(12));
    m_combo1->setGeometry(twipsRect(600, 1080, 1095, 360));

    m_command1 = new QPushButton(QStringLiteral("OK"), m_frame1);
    m_command1->setObjectName(QStringLiteral("Command1"));
    m_command1->setFont(JapaneseFont::gothic(14.25, true));
    m_command1->setGeometry(twipsRect(2760, 960, 1575, 615));
    m_command1->setDefault(true);
    connect(m_command1, &QPushButton::clicked, this, &Velisto::Command1_Click);

    m_command2 = new QPushButton(QStringLiteral("Cancel"), m_frame1);
    m_command2->setObjectName(QStringLiteral("Command2"));
    m_command2->setFont(JapaneseFont::gothic(14.25));
    m_command2->setGeometry(twipsRect(2760, 1800, 1575, 615));
    connect(m_command2, &QPushButton::clicked, this, &Velisto::Command2_Click);

    m_label2 = new QLabel(
        QStringLiteral("　このプログラムを終了させたいときには、画面をクリックして下さい"),
        m_frame1);
    m_label2->setObjectName(QStringLiteral("Label2"));
    m_label2->setFont(JapaneseFont::gothic(9.75));
    m_label2->setWordWrap(true);
    m_label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_label2->setGeometry(twipsRect(120, 1800, 2415, 975));

    m_command3->raise();
    m_frame1->raise();
}

void Velisto::Form_Load() {
    m_command3->setVisible(true);

    // Full screen over its monitor, panels and taskbars included. Without a window manager
    // nothing would resize the window, so it takes the monitor's geometry itself.
    const QScreen* screen = this->screen();
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 640, 480);
    setGeometry(area);
    setWindowState(Qt::WindowFullScreen);

    m_STwips = Twips::perPixel(screen);
    m_lblLM1->setGeometry(0, 0, loadLabelWidths * area.width(), area.height());
    m_logic.setLMScreenWidth(static_cast<int>(std::lround(area.width() * m_STwips)));
    m_lblLM1->setFont(JapaneseFont::gothic(m_STwips * 500.0 / 15.0));
    m_image1->setGeometry(area.width(), 0, area.width(), area.height());
    m_image2->setGeometry(area.width(), 0, area.width(), area.height());

    m_combo1->clear();
    for (const std::string& entry : vocabulary::displayNumberTexts()) {
        m_combo1->addItem(fromStd(entry));
    }
    const std::optional<std::int16_t> remembered =
        m_remembered != nullptr ? m_remembered->number(m_monitorKey) : std::nullopt;
    m_combo1->setEditText(remembered ? QString::number(*remembered) : QStringLiteral("1"));
}

void Velisto::Form_Resize() {
    m_STwips = Twips::perPixel(this);
    const int width = this->width();
    const int height = this->height();
    m_lblLM1->setGeometry(0, 0, labelWidths * width, height);
    m_image1->resize(width, height);
    m_image2->resize(width, height);
    for (const Picture picture : {Picture::Image1, Picture::Image2}) {
        PictureBox* box = pictureBox(picture);
        if (!box->pixmap().isNull() && box->pixmap().size() != box->size()) {
            box->setPixmap(
                m_loader.load(m_pictureFiles[static_cast<std::size_t>(picture)], box->size()));
        }
    }
    m_logic.setLMScreenWidth(static_cast<int>(std::lround(width * m_STwips)));
    // Window height / 22 points, set by pixel size so no DPI setting can change it.
    const double points = height * m_STwips / 22.0;
    m_lblLM1->setFont(
        JapaneseFont::gothicPixels(static_cast<int>(std::lround(points * 20.0 / m_STwips))));
}

void Velisto::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Form_Resize();
}

void Velisto::Command1_Click() {
    const std::optional<std::int16_t> number =
        toInt16(numericValue(m_combo1->currentText().toStdString()));
    if (!number) {
        // A number that cannot be held is refused; the panel stays for another choice.
        m_combo1->setFocus();
        m_combo1->lineEdit()->selectAll();
        return;
    }
    if (m_remembered != nullptr) {
        m_remembered->remember(m_monitorKey, *number);
    }
    confirm(*number);
}

void Velisto::confirm(std::int16_t number) {
    m_frame1->hide();
    if (m_wakeUpBase != 0 && number >= 1 && number <= vocabulary::maxDisplays) {
        takeWakeUps(number);
    }
    m_logic.start(number);
    m_command3->hide();
    const QString numberCaption = fromStd(numberText(number));
    setWindowTitle(windowCaption + QLatin1Char(' ') + numberCaption);
    m_lblLM1->setCaption(numberCaption);
}

void Velisto::takeWakeUps(std::int16_t number) {
    m_wakeUp = new WakeUpSocket(WakeUpPorts{m_wakeUpBase}.display(number),
                                WakeUpGate::displayJob(number), this);
    connect(m_wakeUp, &WakeUpSocket::filesChanged, this, [this](const QStringList& names) {
        std::vector<std::string> files;
        for (const QString& name : names) {
            files.push_back(name.toStdString());
        }
        m_logic.exchangeFilesChanged(files);
    });
    m_logic.poller().setWakeUp(m_wakeUp->port(), m_wakeUp->addresses());
    m_logic.poller().setAnswerWritten([this](const std::string& name) {
        // Where the control program takes them, as its sign of life says now.
        const std::optional<SignOfLife> control = ExchangeFolder(m_workDir).controlLife();
        if (control && control->port != 0) {
            m_wakeUp->send(0, control->addresses, control->port, name);
        }
    });
    // A network that comes up after the display (a start at login) is taken when it is there.
    auto* refresh = new QTimer(this);
    refresh->setInterval(5000);
    connect(refresh, &QTimer::timeout, this, [this] {
        if (m_wakeUp->refresh()) {
            m_logic.poller().setWakeUp(m_wakeUp->port(), m_wakeUp->addresses());
        }
    });
    refresh->start();
}

void Velisto::Command2_Click() {
    m_frame1->hide();
    endProgram();
}

void Velisto::Command3_Click() {
    endProgram();
}

void Velisto::endProgram() {
    m_logic.stopAll();
    close();
}

void Velisto::Form_Click() {
    if (m_FormFlag == 0) {
        m_command3->show();
        m_FormFlag = 1;
        if (windowFlags().testFlag(Qt::FramelessWindowHint)) {
            // Out of full screen into a framed, sizable window. Changing the flags hides the
            // window, so it is shown again.
            setWindowFlag(Qt::FramelessWindowHint, false);
            setWindowState(Qt::WindowMaximized);
            show();
        }
    } else {
        m_command3->hide();
        m_FormFlag = 0;
    }
}

void Velisto::setSmoothMotion(bool on) {
    if (on == (m_glide != nullptr)) {
        return;
    }
    if (!on) {
        m_logic.engine().setMovedHandler({});
        delete m_glide;
        m_glide = nullptr;
        return;
    }
    m_glide = new SignGlide(
        m_logic, m_lblLM1, m_image1, m_image2, [this](int twips) { return toPixels(twips); }, this);
    if (const QScreen* screen = this->screen()) {
        m_glide->setRefreshRate(screen->refreshRate());
    }
}

PictureBox* Velisto::pictureBox(Picture picture) const {
    return picture == Picture::Image1 ? m_image1 : m_image2;
}

int Velisto::toPixels(int twips) const {
    return Twips::toPixels(twips, m_STwips);
}

void Velisto::setLabelVisible(bool visible) {
    m_lblLM1->setVisible(visible);
}

void Velisto::setPictureVisible(Picture picture, bool visible) {
    pictureBox(picture)->setVisible(visible);
}

void Velisto::setLabelLeft(int twips) {
    m_lblLM1->move(toPixels(twips), m_lblLM1->y());
}

void Velisto::setPictureLeft(Picture picture, int twips) {
    PictureBox* box = pictureBox(picture);
    box->move(toPixels(twips), box->y());
}

void Velisto::setLabelCaption(const std::string& text) {
    m_lblLM1->setCaption(fromStd(text));
}

void Velisto::setLabelForeColour(int colour) {
    m_lblLM1->setForeColour(paletteColour(colour));
}

void Velisto::setLabelBackColour(int colour) {
    m_lblLM1->setBackColour(paletteColour(colour));
}

void Velisto::setWindowBackColour(int colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, paletteColour(colour));
    setPalette(palette);
}

void Velisto::loadPicture(Picture picture, const std::filesystem::path& file) {
    const QString name = QString::fromStdString(file.string());
    PictureBox* box = pictureBox(picture);
    m_pictureFiles[static_cast<std::size_t>(picture)] = name;
    box->setPixmap(m_loader.load(name, box->size()));
}

void Velisto::unloadWindow() {
    endProgram();
}

void Velisto::mousePressEvent(QMouseEvent* event) {
    // Presses on lblLM1, Image1 and Image2 arrive here too: they count as the window's.
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void Velisto::mouseDoubleClickEvent(QMouseEvent* event) {
    // The second press of a double click: the click before it has toggled already.
    m_pressed = false;
    event->accept();
}

void Velisto::mouseReleaseEvent(QMouseEvent* event) {
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    event->accept();
    if (click) {
        Form_Click();
    }
}

} // namespace lm
