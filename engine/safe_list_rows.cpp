#include "engine/safe_list_rows.h"

namespace qv {
namespace {

constexpr auto kRows = std::to_array<std::wstring_view>({
    // Vendor and product words.
    L"office", L"adobe", L"macromedia", L"shockwave", L"flash", L"viavoice", L"network magic",
    L"pure networks", L"purenetworks", L"norton", L"symantec", L"kaspersky", L"trend micro",
    L"SourceList", L"InstallSource", L"Microsoft Reference", L"Outlook Express",
    L"Picture It! Express", L"MailFrontier", L"Brother",

    L"!ADOBE CLSIDS",
    L"{06DD38D3-D187-11CF-A80D-00C04FD74AD8}", L"{30c3f6cd-98b5-11cf-bb82-00aa00bdce0b}",
    L"{520DC67A-752E-11D3-8D56-00C04F680B2B}", L"{6BC09692-0CE6-11D1-BAAE-00C04FC2E20D}",
    L"{727CDF4F-3BA0-11D3-8738-00C04F79ED0D}", L"{89E30300-764D-11d0-B282-00A0C90F56FC}",
    L"{98D9A6F1-4696-4B5E-A2E8-36B3F9C1E12C}", L"{b5f8350b-0548-48b1-a6ee-88bd00b4a5e7}",
    L"{C523F39F-9C83-11D3-9094-00104BD0D535}", L"{CC2C83A6-9BE4-11D0-98E7-00C04FC2CAF5}",
    L"{DE43C480-3D61-480E-8DB9-CC22422A878D}",

    L"!network solution CLSIDS",
    L"{0729A372-1480-4749-B126-B9357926FEBA}", L"{24881A40-5261-421E-A9D8-290DFF1C4C0F}",
    L"{36124697-19BB-4a77-964F-AC2D44BE7D01}", L"{37CA5841-74CC-41A3-959B-F22B182A49C1}",
    L"{4746C79A-2042-4332-8650-48966E44ABA8}", L"{721B8BC2-0857-4053-A66C-D56BA16F9236}",
    L"{75993FB3-2496-40CA-ACCD-8152FE0B7EFF}", L"{8FACEB4E-3644-41e2-BDA8-5F348C217C4E}",
    L"{b5f8350b-0548-48b1-a6ee-88bd00b4a5e7}", L"{B9FA1A8D-50A8-4A11-85A1-F687288E8CC0}",
    L"{E992BEE7-16D3-494F-801B-A27E2AB364C5}", L"{F7404E17-C927-43a6-AAB1-57AB3595C584}",

    L"!Genuine Advantage",
    L"{36CFF953-FB06-45AD-896F-94A0259AB3DD}", L"{17492023-C23A-453E-A040-C7C580BBF700}",

    L"!MS speech",
    L"{32be5ed2-5c86-480f-a914-0ff8885a1b3f}", L"rdpencax.ocx", L"UsrDict", L"AF031033",
    L"AI031033", L"AM031033", L"L1033", L"L2057", L"IMESC", L"Yahoo!",

    L"!Windows Desktop Search",
    L"{A373F27E-7B87-11D3-B1C1-00C04F68155C}", L"{10935444-7CC4-483B-9FDB-37560F5F3BBF2}",
    L"RSSearch", L"{9E175BB4-F52A-11D8-B9A5-505054503030}", L"Windows Search",

    L"!mcafee",
    L"{0A9B27F1-F902-43a1-8663-BFF940E2F280}", L"{0E3F1A07-DA76-4168-BA0F-4AFA3007CEFF}",
    L"{4CE3F02C-E146-4C4F-A35D-16C9DA764CC2}", L"{70AE37AD-5507-4fe0-9691-563A55D71F18}",
    L"{94F5EA4D-7E59-4388-9B8D-151501CF480B}", L"{D578D806-C260-4321-9AE0-3B181B39538C}",
    L"{E4B7322B-83E2-4715-80E5-85ACD95AE7DE}", L"{F5C2CD90-ECE8-4BF8-9C76-36A09732F222}",
    L"McProxyVer.ProxyVer.1", L"McProxy", L"LEGACY_MCPROXY", L"mcafee", L"siteadvisor",

    L"!office2000",
    L"{B58C2440-A1A3-11d1-B024-006097C9A284}", L"{B58C2441-A1A3-11d1-B024-006097C9A284}",

    L"!Defragmenter",
    L"{80EE4901-33A8-11d1-A213-0080C88593A5}", L"{80EE4902-33A8-11d1-A213-0080C88593A5}",

    L"!Intuit Quickbooks",
    L"{20A10BD4-0FF4-45e8-87EF-D2708E99CEAA}", L"{20A10BD7-FF8F-4eb0-9754-7F9641B35BB5}",
    L"{20A10BD3-64C9-4aeb-8C2B-EDED0B6958F5}", L"IntuitQuickbooks",

    L"!Sophos",
    L"{91C4C540-9FDD-11D2-AFAA-00105A305A2B}",

    L"!Windows Media Player",
    L"MediaPlayer", L"MPlayer2", L"WMPlayer", L"playback_DefaultPlaylist",
    L"Audio Compression Manager",

    L"!pando",
    L"{ADA715A0-A2E7-41DE-AD35-1F09C801F764}",
});
static_assert(kRows.size() == kBuiltInSafeRowCount);

}  // namespace

const std::array<std::wstring_view, kBuiltInSafeRowCount> kBuiltInSafeRows = kRows;

}  // namespace qv
