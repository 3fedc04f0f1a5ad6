#pragma once

#include "FileChooser.h"
#include "FilePattern.h"

#include <QDialog>
#include <filesystem>
#include <functional>
#include <map>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace lm {

class ClickLabel;

// The program's own modal chooser of a folder and a file name, in three modes: loading a show
// file, saving one, choosing a picture. It never opens the chosen file; it hands back a result
// word, a folder and a name through the chooser variables. OK and Cancel only hide it, so the
// next use starts in the folder where this one ended.
//
// The drive list offers the mounted volumes by their root folders. Closing the window by its
// close box means Cancel.
class frmFileLoad : public QDialog, public FileChooser {
    Q_OBJECT
public:
    // The root folders of the volumes the drive list offers.
    using VolumeSource = std::function<std::vector<std::filesystem::path>()>;

    // Without a source, the mounted volumes.
    explicit frmFileLoad(VolumeSource volumes = {}, QWidget* parent = nullptr);
    ~frmFileLoad() override;

    // Form_Load for vars.SMode, then shown modally until OK or Cancel hides it.
    void choose(ChooserVariables& vars) override;

    // Prepares a use: takes the variables the chooser reads and writes until the next call.
    void Form_Load(ChooserVariables& vars);

    void Combo1_Change();
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void File1_DblClick();
    void cmdFileOk_Click();
    void cmdFileCancel_Click();

    // The folder the folder list shows, and the folder whose files the file list shows.
    const std::filesystem::path& folderPath() const { return m_dirPath; }
    const std::filesystem::path& fileListPath() const { return m_filePath; }
    // Moves the folder list as a double-click on one of its lines does.
    void openFolder(const std::filesystem::path& folder);
    // Picks a volume in the drive list as the operator does.
    void pickDrive(const std::filesystem::path& root);

public slots:
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();
    void connectControls();
    void fillDrives();
    // Shows the volume that holds the folder, without moving anything.
    void showDriveOf(const std::filesystem::path& folder);
    std::filesystem::path currentDrive() const;
    void selectDrive(const std::filesystem::path& root);
    // Lists the folder in the folder list; false (and no change) when it cannot be listed.
    bool setDirPath(const std::filesystem::path& folder);
    // Lists the folder's files; false (and no change) when they cannot be read.
    bool setFilePath(const std::filesystem::path& folder);
    void refreshFiles();
    bool fillFileList(const std::filesystem::path& folder);
    std::string selectedFileName() const;
    void showPreview();
    void snapBackToDrive();
    void setWindowColour(const QColor& colour);

    VolumeSource m_volumes;
    ChooserVariables m_ownVariables;
    ChooserVariables* m_vars = &m_ownVariables;
    std::filesystem::path m_dirPath;
    std::filesystem::path m_filePath;
    // The folder each volume was left in: a volume is reopened there, like a drive's current
    // folder.
    std::map<std::filesystem::path, std::filesystem::path> m_driveFolders;
    FilePattern m_pattern{QStringLiteral("*.*")};
    std::filesystem::path m_previewFile;
    bool m_listing = false;

    QLabel* lblFileMessage = nullptr;
    QComboBox* Drive1 = nullptr;
    QListWidget* Dir1 = nullptr;
    QListWidget* File1 = nullptr;
    ClickLabel* ImageP = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* Text1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QPushButton* cmdFileOk = nullptr;
    QPushButton* cmdFileCancel = nullptr;
};

} // namespace lm
