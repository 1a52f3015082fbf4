#include "archive_viewer/wave_listing.h"

namespace tidebell {

namespace {

constexpr char kWavePattern[] = "*.wav";

// Closes the listing handle when the listing ends, also by an exception.
class OpenListing {
public:
    explicit OpenListing(archives::TArchiveFile& file) : m_file(file) {}
    ~OpenListing()
    {
        try {
            m_file.CloseArchive();
        } catch (...) {
            // Only a component without an archiver raises here, and it has
            // no handle to close.
        }
    }
    OpenListing(const OpenListing&) = delete;
    OpenListing& operator=(const OpenListing&) = delete;

private:
    archives::TArchiveFile& m_file;
};

}  // namespace

int listWaveEntries(archives::TArchiveFile& archiveFile, const std::string& archivePath,
                    const std::function<bool(const archives::EntryRecord&)>& onEntry)
{
    archiveFile.SetFileName(archivePath);
    archiveFile.OpenArchive(nullptr, 0);
    OpenListing listing(archiveFile);
    archives::EntryRecord record;
    const int first = archiveFile.FindFirst(kWavePattern, record);
    for (int result = first; result == 0; result = archiveFile.FindNext(record)) {
        if (!onEntry(record)) {
            break;
        }
    }
    return first;
}

}  // namespace tidebell
