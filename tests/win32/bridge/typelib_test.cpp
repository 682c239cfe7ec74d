#include <windows.h>

#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>

namespace {

struct TypeLib {
    ITypeLib* lib = nullptr;
    TypeLib() {
        wchar_t path[MAX_PATH];
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        EXPECT_EQ(LoadTypeLibEx(path, REGKIND_NONE, &lib), S_OK);
    }
    ~TypeLib() {
        if (lib)
            lib->Release();
    }
};

std::wstring Name(ITypeInfo* info, MEMBERID id) {
    BSTR name = nullptr;
    BSTR doc = nullptr;
    info->GetDocumentation(id, &name, &doc, nullptr, nullptr);
    std::wstring out = std::wstring(name ? name : L"") + L"|" + (doc ? doc : L"");
    SysFreeString(name);
    SysFreeString(doc);
    return out;
}

TEST(TypeLibraryTest, LibraryAttributesFromExecutable) {
    TypeLib t;
    ASSERT_NE(t.lib, nullptr);
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(t.lib->GetLibAttr(&attr), S_OK);
    wchar_t guid[64];
    StringFromGUID2(attr->guid, guid, 64);
    EXPECT_STREQ(guid, L"{212C8E3A-26A9-400C-A40C-745E3BBB6D2B}");
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->syskind, SYS_WIN32);
    // Only the run-time "loaded from disk" flag; none stored in the library.
    EXPECT_EQ(attr->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, 0);
    t.lib->ReleaseTLibAttr(attr);
    EXPECT_EQ(t.lib->GetTypeInfoCount(), 2u);
}

TEST(TypeLibraryTest, InterfaceMembersAndParameterNames) {
    TypeLib t;
    ASSERT_NE(t.lib, nullptr);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(t.lib->GetTypeInfo(0, &info), S_OK);
    EXPECT_EQ(Name(info, MEMBERID_NIL),
              L"ITKelvraAppToIe|Dispatch interface for TKelvraAppToIe Object");
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    info->ReleaseTypeAttr(attr);

    struct Member {
        MEMBERID id;
        const wchar_t* names[7];
        UINT count;
    };
    const Member members[] = {
        {201, {L"GetKelvraApp"}, 1},
        {202,
         {L"CreateVantle", L"crs_id", L"crs_name", L"crs_classify", L"crs_username", L"crs_knowid",
          L"crs_url"},
         7},
        {203, {L"ShowHint", L"hint_tilte", L"hint_content"}, 3},
    };
    for (const Member& m : members) {
        BSTR names[8] = {};
        UINT got = 0;
        ASSERT_EQ(info->GetNames(m.id, names, 8, &got), S_OK) << m.id;
        EXPECT_EQ(got, m.count) << m.id;
        for (UINT i = 0; i < got && i < m.count; ++i) {
            EXPECT_STREQ(names[i], m.names[i]);
        }
        for (UINT i = 0; i < got; ++i)
            SysFreeString(names[i]);
    }
    // Lookup ignores case.
    OLECHAR lower[] = L"createvantle";
    LPOLESTR name = lower;
    MEMBERID id = 0;
    EXPECT_EQ(info->GetIDsOfNames(&name, 1, &id), S_OK);
    EXPECT_EQ(id, 202);
    info->Release();
}

// The interface is stored as a dispatch interface with exactly the flags dual, OLE
// automation and dispatchable. The vtable view carries them as stored; OLE hides the OLE
// automation flag from the dispatch view's TYPEATTR, so the stored flags are read through
// ITypeInfo2::GetTypeFlags.
TEST(TypeLibraryTest, InterfaceCarriesExactlyDualOleAutomationDispatchable) {
    constexpr WORD kFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
    static_assert(kFlags == 0x1140);
    TypeLib t;
    ASSERT_NE(t.lib, nullptr);
    ITypeInfo* dispatch = nullptr;
    ASSERT_EQ(t.lib->GetTypeInfo(0, &dispatch), S_OK);
    ITypeInfo2* stored = nullptr;
    ASSERT_EQ(dispatch->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&stored)), S_OK);
    ULONG flags = 0;
    EXPECT_EQ(stored->GetTypeFlags(&flags), S_OK);
    EXPECT_EQ(flags, kFlags);
    stored->Release();
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(dispatch->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_DISPATCH);
    EXPECT_EQ(attr->wTypeFlags & ~TYPEFLAG_FOLEAUTOMATION, TYPEFLAG_FDUAL | TYPEFLAG_FDISPATCHABLE);
    dispatch->ReleaseTypeAttr(attr);

    HREFTYPE ref = 0;
    ITypeInfo* vtable = nullptr;
    ASSERT_EQ(dispatch->GetRefTypeOfImplType(-1, &ref), S_OK);
    ASSERT_EQ(dispatch->GetRefTypeInfo(ref, &vtable), S_OK);
    ASSERT_EQ(vtable->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->wTypeFlags, kFlags);
    vtable->ReleaseTypeAttr(attr);
    vtable->Release();
    dispatch->Release();
}

TEST(TypeLibraryTest, ClassIsCreatableWithDefaultInterface) {
    TypeLib t;
    ASSERT_NE(t.lib, nullptr);
    ITypeInfo* info = nullptr;
    ASSERT_EQ(t.lib->GetTypeInfo(1, &info), S_OK);
    EXPECT_EQ(Name(info, MEMBERID_NIL), L"TKelvraAppToIe|TKelvraAppToIe Object");
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_EQ(attr->wTypeFlags, TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attr->cImplTypes, 1);
    info->ReleaseTypeAttr(attr);
    INT flags = 0;
    EXPECT_EQ(info->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    info->Release();
}

}  // namespace
