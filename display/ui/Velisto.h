#pragma once

#include "DisplayLogic.h"
#include "PictureLoader.h"
#include "QtTimer.h"
#include "SignView.h"

#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>

class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScreen;

namespace lm {

class ExchangeWatcher;
class PictureBox;
class RememberedNumbers;
class SignGlide;
class SignLabel;
class TickTraceFile;
class WakeUpSocket;

// The sign window: full screen on its monitor, it asks for the display number in its panel
// Frame1 and from then on shows what the job files of its number ask for.
class Velisto : public QWidget, public SignView {
    Q_OBJECT
public:
    // An empty working folder means the process's current directory; no monitor means the one
    // under the mouse pointer. Without remembered numbers the panel always offers "1".
    explicit Velisto(std::filesystem::path workDir = {}, QScreen* monitor = nullptr,
                     RememberedNumbers* remembered = nullptr, QWidget* parent = nullptr);
    ~Velisto() override;

    DisplayLogic& logic() { return m_logic; }
    // Wake-ups over the network from the start on: display n takes them on base + n and sends
    // its own to the control program. 0: none (the default).
    void setWakeUpBase(int base) { m_wakeUpBase = base; }
    // Smooth motion: the sign glides between movement ticks at the monitor's refresh rate.
    // Off by default: the sign moves one step per tick.
    void setSmoothMotion(bool on);
    const SignGlide* glide() const { return m_glide; }
    int FormFlag() const { return m_FormFlag; }
    double STwips() const { return m_STwips; }

    void Form_Load();
    void Form_Resize();
    void Command1_Click();
    // What "OK" does with a number that the panel accepts, without the panel.
    void confirm(std::int16_t number);
    void Command2_Click();
    void Command3_Click();
    void Form_Click();

    void setLabelVisible(bool visible) override;
    void setPictureVisible(Picture picture, bool visible) override;
    void setLabelLeft(int twips) override;
    void setPictureLeft(Picture picture, int twips) override;
    void setLabelCaption(const std::string& text) override;
    void setLabelForeColour(int colour) override;
    void setLabelBackColour(int colour) override;
    void setWindowBackColour(int colour) override;
    void loadPicture(Picture picture, const std::filesystem::path& file) override;
    void unloadWindow() override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void buildControls();
    QRect twipsRect(int left, int top, int width, int height) const;
    void endProgram();
    PictureBox* pictureBox(Picture picture) const;
    int toPixels(int twips) const;

    DisplayLogic m_logic;
    RememberedNumbers* m_remembered = nullptr;
    QString m_monitorKey;
    QtTimer m_qtTimer1{m_logic.timer1()};
    QtTimer m_qtTimer2{m_logic.timer2()};
    QtTimer m_qtTimer3{m_logic.timer3()};
    QtTimer m_qtPresenceTimer{m_logic.presenceTimer()};
    // Reports the job file's changes as they happen; none with LMSIGN_NOTIFY=off.
    std::unique_ptr<ExchangeWatcher> m_watcher;
    // Where LMSIGN_TICK_TRACE asks the ticks to be told; usually none.
    std::unique_ptr<TickTraceFile> m_trace;
    std::filesystem::path m_workDir;
    int m_wakeUpBase = 0;
    WakeUpSocket* m_wakeUp = nullptr;
    void takeWakeUps(std::int16_t number);

    double m_STwips = 15.0;
    int m_FormFlag = 0;
    bool m_pressed = false;
    PictureLoader m_loader;
    // The file each picture control shows, so a new window size can rescale it once.
    std::array<QString, 2> m_pictureFiles;

    SignLabel* m_lblLM1 = nullptr;
    PictureBox* m_image1 = nullptr;
    PictureBox* m_image2 = nullptr;
    QPushButton* m_command3 = nullptr;
    QGroupBox* m_frame1 = nullptr;
    QLabel* m_label1 = nullptr;
    QComboBox* m_combo1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPushButton* m_command2 = nullptr;
    QLabel* m_label2 = nullptr;
    SignGlide* m_glide = nullptr;
};

} // namespace lm
