#include "archive_viewer/archive_opening.h"

#include "archive_viewer/form_lzh.h"
#include "archive_viewer/wave_listing.h"
#include "core/app_title.h"
#include "platform/win32.h"

namespace tidebell {

void OpenArchiveFromMain(SharedState& state, archives::TArchiveFile& archiveFile, QWidget* mainWindow,
                         const std::string& archivePath)
{
    state.ArchivePath = archivePath;
    // One entry is enough to know the viewer has something to show.
    const int found =
        listWaveEntries(archiveFile, state.ArchivePath, [](const archives::EntryRecord&) { return false; });
    if (found != 0) {
        MessageBoxA(nullptr, "WAVファイルがありません。", kApplicationTitle, MB_OK);
        return;
    }
    TFormLZH viewer(state, mainWindow);
    viewer.exec();
}

}  // namespace tidebell
