#include "frmFileLoad.h"

#include "ClickLabel.h"
#include "JapaneseFont.h"
#include "TwipsLayout.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <array>
#include <optional>
#include <string_view>
#include <system_error>

namespace lm {

namespace fs = std::filesystem;

namespace {

// Designed client area, twips.
constexpr int clientWidthTwips = 9345;
constexpr int clientHeightTwips = 4620;

struct Mode {
    std::string_view word;
    const char* title;
    std::array<const char*, 4> patterns; // unused entries are null
    const char* initialPattern;
    QColor colour;
};

const std::array<Mode, 3>& modes() {
    static const std::array<Mode, 3> table{{
        {chooserModeLoad,
         "データファイルの読み込み",
         {"*.txt", "*.*", nullptr, nullptr},
         "*.txt",
         QColor(0xC0, 0xFF, 0xC0)},
        {chooserModeSave,
         "データファイルの保存",
         {"*.txt", "*.*", nullptr, nullptr},
         "*.txt",
         QColor(0xFF, 0xFF, 0xC0)},
        {chooserModePicture,
         "画像ファイルの読み込み",
         {"*.jpg", "*.bmp", "*.gif", "*.*"},
         "*.jpg",
         QColor(0xD0, 0xD0, 0xFF)},
    }};
    return table;
}

QString toQString(const fs::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}

fs::path toPath(const QString& text) {
    return fs::path(QFile::encodeName(text).toStdString());
}

bool isHidden(const fs::path& name) {
    return name.native().starts_with('.');
}

struct FolderContents {
    std::vector<fs::path> folders; // names
    std::vector<fs::path> files;   // names
};

// The visible folders and files of a folder, sorted; nothing when the folder cannot be read.
std::optional<FolderContents> readFolder(const fs::path& folder) {
    std::error_code error;
    fs::directory_iterator it(folder, error);
    if (error) {
        return std::nullopt;
    }
    FolderContents contents;
    for (const fs::directory_iterator end; it != end; it.increment(error)) {
        if (error) {
            return std::nullopt;
        }
        const fs::path name = it->path().filename();
        if (isHidden(name)) {
            continue;
        }
        std::error_code typeError;
        if (it->is_directory(typeError)) {
            contents.folders.push_back(name);
        } else if (it->is_regular_file(typeError)) {
            contents.files.push_back(name);
        }
    }
    const auto byName = [](const fs::path& a, const fs::path& b) {
        return toQString(a).compare(toQString(b), Qt::CaseInsensitive) < 0;
    };
    std::sort(contents.folders.begin(), contents.folders.end(), byName);
    std::sort(contents.files.begin(), contents.files.end(), byName);
    return contents;
}

std::vector<fs::path> mountedVolumes() {
    std::vector<fs::path> roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (volume.isValid() && volume.isReady()) {
            roots.push_back(toPath(volume.rootPath()));
        }
    }
    return roots;
}

// Whether the folder lies on or under the root, compared folder by folder.
bool isWithin(const fs::path& folder, const fs::path& root) {
    auto f = folder.begin();
    for (auto r = root.begin(); r != root.end(); ++r, ++f) {
        if (r->empty()) {
            continue; // a trailing separator
        }
        if (f == folder.end() || *f != *r) {
            return false;
        }
    }
    return true;
}

} // namespace

frmFileLoad::frmFileLoad(VolumeSource volumes, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      m_volumes(volumes ? std::move(volumes) : VolumeSource(mountedVolumes)) {
    setObjectName(QStringLiteral("frmFileLoad"));
    setWindowTitle(QStringLiteral("ファイルの選択"));
    setFont(JapaneseFont::gothic(9));
    setAutoFillBackground(true);
    buildControls();
    const TwipsLayout layout(Twips::perPixel(this));
    setFixedSize(layout.pixels(clientWidthTwips), layout.pixels(clientHeightTwips));

    // The first use starts in the process's current folder.
    fillDrives();
    std::error_code error;
    fs::path start = fs::current_path(error);
    if (error || !setDirPath(start)) {
        start = currentDrive();
        setDirPath(start);
    }
    Dir1_Change();
    Dir1->setFocus();
}

frmFileLoad::~frmFileLoad() = default;

void frmFileLoad::buildControls() {
    const TwipsLayout layout(Twips::perPixel(this));
    const QFont windowFont = font();

    lblFileMessage = layout.make<QLabel>(this, "lblFileMessage", {240, 120, 5895, 375},
                                         JapaneseFont::gothic(14.25, true));
    lblFileMessage->setText(QStringLiteral("ファイルを選んで下さい"));
    Drive1 = layout.make<QComboBox>(this, "Drive1", {240, 480, 2775, 300}, windowFont);
    Dir1 = layout.make<QListWidget>(this, "Dir1", {240, 960, 2775, 2190}, windowFont);
    // Open and closed folders alike, one line each.
    Dir1->setIconSize(QSize(16, 16));
    File1 = layout.make<QListWidget>(this, "File1", {3360, 600, 2775, 2070}, windowFont);
    ImageP = layout.make<ClickLabel>(this, "ImageP", {6360, 600, 2775, 2055}, windowFont);
    ImageP->setScaledContents(true);
    Label2 = layout.make<QLabel>(this, "Label2", {3360, 2880, 2055, 255},
                                 JapaneseFont::proportionalGothic(9));
    Label2->setText(QStringLiteral("ファイル名"));
    Text1 =
        layout.make<QLineEdit>(this, "Text1", {3360, 3120, 2775, 375}, JapaneseFont::gothic(12));
    Label1 = layout.make<QLabel>(this, "Label1", {240, 3480, 2055, 255},
                                 JapaneseFont::proportionalGothic(9));
    Label1->setText(QStringLiteral("ファイルの種類の指定"));
    Combo1 =
        layout.make<QComboBox>(this, "Combo1", {240, 3720, 2775, 315}, JapaneseFont::gothic(9.75));
    Combo1->setEditable(true);
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    // A typed pattern stays as typed: no completion from the list.
    Combo1->setCompleter(nullptr);
    Combo1->setEditText(QStringLiteral("Combo1"));
    cmdFileOk = layout.make<QPushButton>(this, "cmdFileOk", {4320, 3720, 2175, 615},
                                         JapaneseFont::gothic(14.25, true));
    cmdFileOk->setText(QStringLiteral("OK"));
    cmdFileCancel = layout.make<QPushButton>(this, "cmdFileCancel", {6840, 3720, 2175, 615},
                                             JapaneseFont::gothic(12));
    cmdFileCancel->setText(QStringLiteral("キャンセル"));
    // Neither Enter nor Esc presses a button.
    for (QPushButton* button : {cmdFileOk, cmdFileCancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    setTabOrder(Dir1, Drive1);
    setTabOrder(Drive1, File1);
    setTabOrder(File1, cmdFileOk);
    setTabOrder(cmdFileOk, cmdFileCancel);
    setTabOrder(cmdFileCancel, Text1);
    setTabOrder(Text1, Combo1);
    connectControls();
}

void frmFileLoad::connectControls() {
    connect(Combo1, &QComboBox::editTextChanged, this, [this] { Combo1_Change(); });
    connect(Combo1, &QComboBox::activated, this, [this] { Combo1_Change(); });
    connect(Drive1, &QComboBox::activated, this, [this] { Drive1_Change(); });
    connect(Dir1, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        // After the click has been handled: the list is filled anew.
        const fs::path folder = toPath(item->data(Qt::UserRole).toString());
        QTimer::singleShot(0, this, [this, folder] { openFolder(folder); });
    });
    connect(File1, &QListWidget::itemSelectionChanged, this, [this] {
        if (!m_listing && !File1->selectedItems().isEmpty()) {
            File1_Click();
        }
    });
    connect(File1, &QListWidget::itemClicked, this, [this] { File1_Click(); });
    connect(File1, &QListWidget::itemDoubleClicked, this, [this] { File1_DblClick(); });
    connect(cmdFileOk, &QPushButton::clicked, this, [this] { cmdFileOk_Click(); });
    connect(cmdFileCancel, &QPushButton::clicked, this, [this] { cmdFileCancel_Click(); });
}

void frmFileLoad::choose(ChooserVariables& vars) {
    Form_Load(vars);
    exec();
}

void frmFileLoad::Form_Load(ChooserVariables& vars) {
    m_vars = &vars;
    vars.SDrive = currentDrive().string();
    vars.SPath = m_dirPath.string();
    vars.SName = selectedFileName();
    // Volumes come and go between uses (a stick plugged in).
    fillDrives();

    ImageP->clear();
    m_previewFile.clear();
    Text1->clear();
    {
        const QSignalBlocker blocker(Combo1);
        Combo1->clear();
        const auto mode = std::find_if(modes().begin(), modes().end(),
                                       [&](const Mode& m) { return m.word == vars.SMode; });
        if (mode != modes().end()) {
            lblFileMessage->setText(QString::fromUtf8(mode->title));
            setWindowTitle(QString::fromUtf8(mode->title));
            for (const char* pattern : mode->patterns) {
                if (pattern != nullptr) {
                    Combo1->addItem(QString::fromUtf8(pattern));
                }
            }
            Combo1->setEditText(QString::fromUtf8(mode->initialPattern));
            setWindowColour(mode->colour);
        }
    }
    Combo1_Change();
}

void frmFileLoad::Combo1_Change() {
    m_pattern = FilePattern(Combo1->currentText());
    refreshFiles();
}

void frmFileLoad::Drive1_Change() {
    const fs::path root = currentDrive();
    const auto remembered = m_driveFolders.find(root);
    const bool opened =
        (remembered != m_driveFolders.end() && setDirPath(remembered->second)) || setDirPath(root);
    if (!opened) {
        snapBackToDrive();
        return;
    }
    Dir1_Change();
}

void frmFileLoad::Dir1_Change() {
    if (!setFilePath(m_dirPath)) {
        snapBackToDrive();
        return;
    }
    showDriveOf(m_dirPath);
    m_driveFolders[currentDrive()] = m_dirPath;
}

void frmFileLoad::openFolder(const fs::path& folder) {
    if (!setDirPath(folder)) {
        snapBackToDrive();
        return;
    }
    Dir1_Change();
}

void frmFileLoad::pickDrive(const fs::path& root) {
    selectDrive(root);
    Drive1_Change();
}

void frmFileLoad::File1_Click() {
    const std::string name = selectedFileName();
    Text1->setText(QString::fromStdString(name));
    if (m_vars->SMode == chooserModePicture && !name.empty()) {
        showPreview();
    }
}

void frmFileLoad::File1_DblClick() {
    File1_Click();
    cmdFileOk_Click();
}

void frmFileLoad::cmdFileOk_Click() {
    m_vars->SResult = chooserResultOk;
    m_vars->SDrive = currentDrive().string();
    m_vars->SPath = m_dirPath.string();
    m_vars->SName = Text1->text().toStdString();
    done(QDialog::Accepted);
}

void frmFileLoad::cmdFileCancel_Click() {
    m_vars->SResult = chooserResultCancel;
    done(QDialog::Rejected);
}

void frmFileLoad::reject() {
    // The close box: nothing was chosen.
    cmdFileCancel_Click();
}

void frmFileLoad::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void frmFileLoad::fillDrives() {
    const fs::path shown = currentDrive();
    std::vector<fs::path> roots = m_volumes();
    std::sort(roots.begin(), roots.end());
    roots.erase(std::unique(roots.begin(), roots.end()), roots.end());
    const QSignalBlocker blocker(Drive1);
    Drive1->clear();
    for (const fs::path& root : roots) {
        Drive1->addItem(toQString(root), toQString(root));
    }
    if (!shown.empty()) {
        selectDrive(shown);
    }
}

void frmFileLoad::showDriveOf(const fs::path& folder) {
    fs::path best;
    std::size_t bestLength = 0;
    for (int i = 0; i < Drive1->count(); ++i) {
        const fs::path root = toPath(Drive1->itemData(i).toString());
        const std::size_t length = std::distance(root.begin(), root.end());
        if (isWithin(folder, root) && (best.empty() || length > bestLength)) {
            best = root;
            bestLength = length;
        }
    }
    if (!best.empty()) {
        selectDrive(best);
    }
}

fs::path frmFileLoad::currentDrive() const {
    if (Drive1 == nullptr || Drive1->currentIndex() < 0) {
        return {};
    }
    return toPath(Drive1->currentData().toString());
}

void frmFileLoad::selectDrive(const fs::path& root) {
    const QSignalBlocker blocker(Drive1);
    int index = Drive1->findData(toQString(root));
    if (index < 0) {
        // A volume that has gone away since the list was filled still names the drive.
        Drive1->addItem(toQString(root), toQString(root));
        index = Drive1->count() - 1;
    }
    Drive1->setCurrentIndex(index);
}

bool frmFileLoad::setDirPath(const fs::path& folder) {
    const fs::path target = folder.lexically_normal();
    const std::optional<FolderContents> contents = readFolder(target);
    if (!contents) {
        return false;
    }
    m_dirPath = target;

    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirIcon);
    Dir1->clear();
    fs::path walked;
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const fs::path& part : target) {
        if (part.empty()) {
            continue;
        }
        walked /= part;
        auto* item = new QListWidgetItem(
            openIcon, QString(depth * 2, QLatin1Char(' ')) + toQString(part), Dir1);
        item->setData(Qt::UserRole, toQString(walked));
        current = item;
        ++depth;
    }
    for (const fs::path& name : contents->folders) {
        auto* item = new QListWidgetItem(
            closedIcon, QString(depth * 2, QLatin1Char(' ')) + toQString(name), Dir1);
        item->setData(Qt::UserRole, toQString(target / name));
    }
    if (current != nullptr) {
        Dir1->setCurrentItem(current);
        current->setSelected(true);
    }
    return true;
}

bool frmFileLoad::setFilePath(const fs::path& folder) {
    if (!fillFileList(folder)) {
        return false;
    }
    m_filePath = folder;
    return true;
}

void frmFileLoad::refreshFiles() {
    fillFileList(m_filePath);
}

bool frmFileLoad::fillFileList(const fs::path& folder) {
    const std::optional<FolderContents> contents = readFolder(folder);
    if (!contents) {
        return false;
    }
    m_listing = true;
    File1->clear();
    for (const fs::path& name : contents->files) {
        const QString text = toQString(name);
        if (m_pattern.matches(text)) {
            File1->addItem(text);
        }
    }
    File1->setCurrentRow(-1);
    m_listing = false;
    return true;
}

std::string frmFileLoad::selectedFileName() const {
    const QList<QListWidgetItem*> selected = File1->selectedItems();
    if (selected.isEmpty()) {
        return {};
    }
    return selected.front()->text().toStdString();
}

void frmFileLoad::showPreview() {
    const QList<QListWidgetItem*> selected = File1->selectedItems();
    if (selected.isEmpty()) {
        return;
    }
    const fs::path file = m_filePath / toPath(selected.front()->text());
    if (file == m_previewFile) {
        return; // a click on the file already shown
    }
    QImageReader reader(toQString(file));
    const QImage image = reader.read();
    if (image.isNull()) {
        return; // not a picture: the preview keeps what it showed
    }
    ImageP->setPixmap(QPixmap::fromImage(image));
    m_previewFile = file;
}

void frmFileLoad::snapBackToDrive() {
    const fs::path drive{m_vars->SDrive};
    if (drive.empty() || currentDrive() == drive) {
        return;
    }
    selectDrive(drive);
    Drive1_Change();
}

void frmFileLoad::setWindowColour(const QColor& colour) {
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, colour);
    setPalette(palette);
}

} // namespace lm
