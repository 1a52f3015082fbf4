// The file list (ListView1's data): the WAVE files of a folder and the
// archives whose archiver library was found at start-up, one row each with
// name, size, kind and modified time. Runs without a view; one model serves
// both the list and the detail view.
#pragma once

#include <QAbstractTableModel>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/archiver_availability.h"
#include "main/folder_listing.h"
#include "platform/win32.h"

namespace tidebell {

// The text from the name's last "." on, letters a to z upper-cased; empty
// when the name has no dot.
std::string fileExtension(std::string_view name);

// The kind text of a listed extension ("WAVE サウンド", "LZH書庫", ...), or
// empty when a file of that extension is not listed with these libraries.
std::string fileKindText(const std::string& upperExtension, const ArchiverAvailability& archivers);

// The locale's date and time separators ("/" and ":" in Japan, "." and ":"
// in Germany), taken from its short formats.
struct DateTimeSeparators {
    QString date = QStringLiteral("/");
    QString time = QStringLiteral(":");
};
DateTimeSeparators separatorsOf(const QLocale& locale);

// Last-write time in local time at the two-second resolution of the packed
// file date: yyyy/mm/dd hh:mm:ss with the given separators.
QString modifiedText(const FILETIME& lastWrite, const DateTimeSeparators& separators);

class TFileListModel : public QAbstractTableModel {
public:
    enum Column { colName, colSize, colKind, colModified, kColumnCount };
    static constexpr int kColumnWidths[kColumnCount] = {100, 60, 100, 120};

    explicit TFileListModel(QObject* parent = nullptr);

    // Lists `folder` (ending in "\"). Every row goes first, whether or not
    // the folder can be read. Answers the enumeration's last result.
    DWORD FillFileList(const std::string& folder, const ArchiverAvailability& archivers);
    // The same from a reading already made.
    DWORD FillFileList(const FolderListing& files, const ArchiverAvailability& archivers);

    // The row's caption: the file name as the file system gives it (bytes
    // in the ANSI code page).
    const std::string& fileName(int row) const;
    uint64_t fileSize(int row) const;

    void setSeparators(const DateTimeSeparators& separators) { m_separators = separators; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    struct Row {
        std::string name;
        std::string kind;
        uint64_t size = 0;
        FILETIME modified{};
    };
    std::vector<Row> m_rows;
    DateTimeSeparators m_separators;
};

}  // namespace tidebell
