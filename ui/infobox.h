// infobox.h - the information dialog: an archive's totals, ratio, password and lock state.
#pragma once

#include "ui/zordialog.h"

#include <cstdint>

class QGridLayout;
class QLabel;
class QProgressBar;

namespace zor {

// What the dialog shows, taken from an archive's header.
struct ArchiveInfoValues {
    uint32_t totalSize = 0;
    uint32_t totalPackedSize = 0;
    int32_t numberOfFiles = 0;
    int32_t numberOfDirectories = 0;
    bool passwordProtected = false;
    bool locked = false;
    // Packed size as a percentage of the unpacked size; above 100 when
    // packing enlarged the data.
    int32_t ratio = 0;
};

class TInfo : public ZorDialog {
    Q_OBJECT
public:
    explicit TInfo(QWidget* parent = nullptr);

    void fill(const ArchiveInfoValues& values);
    // The lock operation marks the archive shown as locked.
    void setLocked(bool locked);

private:
    QLabel* addRow(const QString& rowName, const QString& caption, const QString& valueName);

    QGridLayout* rowsLayout_;
    QLabel* Label1;
    QLabel* TotalSize;
    QLabel* TotalPackedSize;
    QLabel* NumberOfFiles;
    QLabel* NumberOfDirectories;
    QLabel* PasswordProtected;
    QLabel* Ratio;
    QLabel* Locked;
    QProgressBar* FlatProgressBar1;
    QPushButton* OK;
};

}  // namespace zor
