#include "archive/wrappers/lha32.h"

#include "archive/wrappers/library_binding.h"
#include "archive/wrappers/wrapperutil.h"

namespace archives {

namespace {

LibraryBinding& Binding()
{
    static LibraryBinding binding("UNLHA32.DLL", "Unlha", "Lha 形式書庫を扱うには UNLHA32.DLL が 必要です。");
    return binding;
}

}  // namespace

TLha32::TLha32() : TSingleLibraryArchiver(Binding()) {}

void TLha32::LoadDLL()
{
    Binding().Load();
}
void TLha32::FreeDLL()
{
    Binding().Free();
}
LibraryBinding& TLha32::LhaLibrary()
{
    return Binding();
}

// The five command operations take the response-file flag from the options,
// not from the caller.
int TLha32::Extract(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "x", archiveFileName, options.ResFileUsage.contains(ruOnUnpack), files, dir, options,
                       output);
}

int TLha32::Pack(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                 const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "u", archiveFileName, options.ResFileUsage.contains(ruOnPack), files, dir, options,
                       output);
}

int TLha32::RemoveItems(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                        const std::string&, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "d", archiveFileName, options.ResFileUsage.contains(ruOnRemoveItem), files, "", options,
                       output);
}

int TLha32::Update(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                   const std::string& dir, const FileList& files, bool, std::string& output)
{
    return SendCommand(window, "f", archiveFileName, options.ResFileUsage.contains(ruOnUpdate), files, dir, options,
                       output);
}

int TLha32::MakeSFX(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                    const std::string& dir, std::string& output)
{
    return SendCommand(window, "s", archiveFileName, false, {}, dir, options, output);
}

int TLha32::ExtractMem(HWND window, const std::string& archiveFileName, const TArchiverOptions& options,
                       const std::string& fileName, LPBYTE buffer, DWORD bufferSize, DWORD* written)
{
    return SendExtractMem(window, archiveFileName, options, fileName, buffer, bufferSize, written);
}

void TLha32::AddSwitches(TCmdOpt& cmd, const TArchiverOptions& o) const
{
    cmd.Add("-+");
    cmd.AddNum("a", o.a);
    cmd.AddNum("c", o.c);
    cmd.AddNum("e", o.e);
    cmd.AddNum("f", o.f);
    cmd.AddNum("h", o.h);
    cmd.AddNum("i", o.i);
    cmd.AddNum("l", o.l);
    cmd.AddNum("m", o.m);
    // The library's own progress display stays off while progress goes to
    // the owner window.
    cmd.AddNum("n", HasOwnerWindow() ? 1 : o.n);
    cmd.AddNum("o", o.o);
    cmd.AddNum("p", o.p);
    cmd.AddNum("r", o.r);
    cmd.AddNum("s", o.s);
    cmd.AddNum("t", o.t);
    cmd.AddNum("u", o.u);
    cmd.AddDir("w", o.w);
    cmd.AddNum("x", o.x);
    cmd.AddNum("y", o.y);
    cmd.AddNum("z", o.z);
    cmd.AddNum("jc", o.jc);
    cmd.AddNum("jd", o.jd);
    cmd.AddNum("je", o.je);
    cmd.AddNum("jf", o.jf);
    cmd.AddNum("jh", o.jh);
    cmd.AddNum("ji", o.ji);
    cmd.AddNum("jm", o.jm);
    cmd.AddNum("jn", o.jn);
    cmd.AddStr("jo", o.jo);
    cmd.AddStr("job", o.job);
    cmd.AddNum("jp", o.jp);
    cmd.AddNum("jr", o.jr);
    cmd.AddNum("jsb", o.jsb);
    cmd.AddNum("jsc", o.jsc);
    cmd.AddNum("jsd", o.jsd);
    cmd.AddNum("jse", o.jse);
    cmd.AddNum("jsf", o.jsf);
    cmd.AddNum("jsl", o.jsl);
    cmd.AddNum("jso", o.jso);
    cmd.AddNum("jss", o.jss);
    cmd.AddNum("jst", o.jst);
    cmd.AddNum("jsv", o.jsv);
    cmd.AddNum("jsz", o.jsz);
    cmd.AddNum("jw", o.jw);
    cmd.AddFiles("jx", FileList{o.jx});
    cmd.AddNum("jyc", o.jyc);
    cmd.AddNum("jyd", o.jyd);
    cmd.AddNum("jyk", o.jyk);
    cmd.AddNum("jyn", o.jyn);
    cmd.AddNum("jyo", o.jyo);
    cmd.AddStr("jz", o.jz);
    cmd.AddNum("ga", o.ga);
    cmd.AddNum("gd", o.gd);
    cmd.AddNum("ge", o.ge);
    cmd.AddNum("gf", o.gf);
    cmd.AddNum("gj", o.gj);
    cmd.AddNum("gm", o.gm);
    cmd.AddNum("gn", o.gn);
    cmd.AddNum("go", o.go);
    cmd.AddNum("gp", o.gp);
    cmd.AddStr("gr", o.gr);
    cmd.AddNum("gs", o.gs);
    cmd.AddNum("gu", o.gu);
    cmd.AddNum("gw", o.gw);
}

bool CheckLhaArchive(const std::string& fileName)
{
    try {
        LibraryBinding& library = Binding();
        library.Load();
        const std::string fullName = ExpandFileName(fileName);
        if (library.CheckArchive(fullName, CheckModeProbe) == 0)
            return false;
        ArchiveHandle handle = library.OpenArchive(nullptr, fullName, OpenModeProbe);
        library.CloseArchive(handle);
        return handle != 0;
    } catch (...) {
        return false;
    }
}

namespace {
// The core creates and probes this unit's archivers through what it registers.
[[maybe_unused]] const bool registered = RegisterArchiver({atLha, &Create<TLha32>, &ProbeAs<atLha, CheckLhaArchive>});
}  // namespace

}  // namespace archives
