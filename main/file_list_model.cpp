#include "main/file_list_model.h"

#include <array>
#include <cstdio>

namespace tidebell {

std::string fileExtension(std::string_view name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string_view::npos) {
        return {};
    }
    // Only ASCII letters change: the bytes of a multi-byte character never
    // fall in that range in UTF-8.
    std::string ext(name.substr(dot));
    for (char& c : ext) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return ext;
}

std::string fileKindText(const std::string& ext, const ArchiverAvailability& a)
{
    if (ext == ".WAV") {
        return "WAVE サウンド";
    }
    const bool listed = (ext == ".LZH" && a.HasUnlha32) || (ext == ".ZIP" && a.HasUnzip32) ||
                        (ext == ".ARJ" && a.HasUnarj32j) || (ext == ".CAB" && a.HasCab32) ||
                        (ext == ".RAR" && a.HasUnrar32) ||
                        ((ext == ".TAR" || ext == ".BZ2" || ext == ".TGZ") && a.HasTar32);
    return listed ? ext.substr(1) + "書庫" : std::string();
}

namespace {

// The first run of characters between the fields of a format, outside
// quotes: "yyyy/MM/dd" gives "/", "H.mm" gives ".". A format whose fields
// stand apart by blanks alone ("d MMM yyyy") has no separator to take.
QString separatorIn(const QString& format, const QString& fallback)
{
    QString separator;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == u'\'') {
            quoted = !quoted;
            continue;
        }
        if (quoted) {
            continue;
        }
        if (c.isLetter()) {
            if (!separator.trimmed().isEmpty()) {
                return separator.trimmed();
            }
            separator.clear();
            continue;
        }
        separator += c;
    }
    return fallback;
}

}  // namespace

DateTimeSeparators separatorsOf(const QLocale& locale)
{
    DateTimeSeparators separators;
    separators.date = separatorIn(locale.dateFormat(QLocale::ShortFormat), separators.date);
    separators.time = separatorIn(locale.timeFormat(QLocale::ShortFormat), separators.time);
    return separators;
}

QString modifiedText(const FILETIME& lastWrite, const DateTimeSeparators& separators)
{
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeToLocalFileTime(&lastWrite, &local) || !FileTimeToSystemTime(&local, &t)) {
        return {};
    }
    // The packed file date keeps even seconds only.
    const int second = t.wSecond / 2 * 2;
    std::array<char, 8> year{};
    std::snprintf(year.data(), year.size(), "%04u", static_cast<unsigned>(t.wYear));
    auto two = [](unsigned value) { return QString::number(value).rightJustified(2, u'0'); };
    return QString::fromLatin1(year.data()) + separators.date + two(t.wMonth) + separators.date + two(t.wDay) + u' ' +
           two(t.wHour) + separators.time + two(t.wMinute) + separators.time + two(static_cast<unsigned>(second));
}

TFileListModel::TFileListModel(QObject* parent)
    : QAbstractTableModel(parent), m_separators(separatorsOf(QLocale::system()))
{
}

DWORD TFileListModel::FillFileList(const std::string& folder, const ArchiverAvailability& archivers)
{
    return FillFileList(FolderListing(folder), archivers);
}

DWORD TFileListModel::FillFileList(const FolderListing& files, const ArchiverAvailability& archivers)
{
    beginResetModel();
    m_rows.clear();
    for (const FolderEntry& entry : files.entries()) {
        if (entry.isFolder()) {
            continue;
        }
        std::string kind = fileKindText(fileExtension(entry.name), archivers);
        if (kind.empty()) {
            continue;
        }
        m_rows.push_back(Row{entry.name, std::move(kind), entry.size, entry.lastWrite});
    }
    endResetModel();
    return files.result();
}

const std::string& TFileListModel::fileName(int row) const
{
    return m_rows.at(static_cast<size_t>(row)).name;
}

uint64_t TFileListModel::fileSize(int row) const
{
    return m_rows.at(static_cast<size_t>(row)).size;
}

int TFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int TFileListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant TFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= static_cast<int>(m_rows.size())) {
        return {};
    }
    const Row& row = m_rows[static_cast<size_t>(index.row())];
    if (role == Qt::TextAlignmentRole) {
        return index.column() == colSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                         : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (index.column()) {
    case colName:
        return QString::fromUtf8(row.name.data(), static_cast<qsizetype>(row.name.size()));
    case colSize:
        return QString::number(row.size);
    case colKind:
        return QString::fromUtf8(row.kind.data(), static_cast<qsizetype>(row.kind.size()));
    case colModified:
        return modifiedText(row.modified, m_separators);
    default:
        return {};
    }
}

QVariant TFileListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal) {
        return {};
    }
    if (role == Qt::TextAlignmentRole) {
        return section == colSize ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                  : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    switch (section) {
    case colName:
        return QStringLiteral("名前");
    case colSize:
        return QStringLiteral("サイズ");
    case colKind:
        return QStringLiteral("種類");
    case colModified:
        return QStringLiteral("更新日時");
    default:
        return {};
    }
}

Qt::ItemFlags TFileListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
}

}  // namespace tidebell
