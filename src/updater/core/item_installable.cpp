#include "updater/core/item_installable.h"

#include "updater/core/manifest_text.h"

namespace {

bool IsSet(std::wstring_view text)
{
    return !text.empty() && !zv::core::EqualsNoCase(text, L"dummy");
}

} // namespace

ZvLib_CItemInstallableApp::ZvLib_CItemInstallableApp(ForParsing, std::pmr::memory_resource* texts)
    : ZvLib_CItemBase(texts), productGUID(texts), desiredMsiFilename(texts), url(texts), urlQs(texts), localPayloadPath(texts), sigUrl(texts),
      localSigPath(texts), publicKeyPath(texts), commandLineArgs(texts), packageInfo(texts), commandLine(texts), destPath(texts), destFilename(texts)
{
}

bool ZvLib_CItemInstallableApp::IsBasicValid() const
{
    return requiredSpaceMB != -1 && estInstallTimeMins != -1 && IsSet(url) && !zv::core::EqualsNoCase(commandLineArgs, L"dummy");
}

int ZvLib_CItemInstallableApp::IsValid() const
{
    return IsBasicValid() && IsSet(localPayloadPath) && IsSet(sigUrl) && IsSet(localSigPath) && !publicKeyPath.empty();
}
