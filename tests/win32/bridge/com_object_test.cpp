// The page-facing COM object in process: its interface set, IDispatch answered from the
// embedded type library, the member rules, reference counts, the class factory's object
// count with the termination check, and message 3027's pointer-to-pointer lParam.
#include <windows.h>

#include <ocidl.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "app/app_identity.h"
#include "bridge/automation_server.h"
#include "bridge/external_object.h"
#include "bridge/server_switches.h"
#include "bridge/whiteboard_launch.h"
#include "bridge/whiteboard_ports.h"
#include "bridge/win32/class_factory.h"
#include "bridge/win32/external_dispatch.h"
#include "bridge/win32/server_objects.h"
#include "bridge/win32/server_registration.h"
#include "com_test_util.h"
#include "failing_allocation.h"
#include "kelvraedu_app.h"
#include "platform/code_page.h"
#include "platform/registry.h"
#include "platform/win32/wide.h"
#include "test_support.h"
#include "ui/dialog_script.h"
#include "ui/message_box.h"

// oleaut32's switch for its string cache; the SDK headers here do not declare it.
extern "C" void SetOaNoCache();

namespace kelvra::bridge {
namespace {

using test::Args;
using test::CallMethod;
using test::Excep;
using test::IdOf;

// A running whiteboard as far as the launch sees it: records what it is told.
class FakeWindows final : public WhiteboardWindows {
  public:
    std::uintptr_t Find(const std::string&) override { return 7; }
    void Notify(std::uintptr_t, const std::string& ansi) override { told.push_back(ansi); }
    std::vector<std::string> told;
};

class NoShell final : public Shell {
  public:
    void Open(const std::string&, const std::string&, const std::string&) override { ++opened; }
    int opened = 0;
};

class ComObjectTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = CurrentLaunchPorts();
        LaunchPorts ports = saved_;
        ports.whiteboard_path = [] { return std::string("C:\\wb\\Ondrix.exe"); };
        ports.windows = &windows_;
        ports.shell = &shell_;
        SetLaunchPorts(ports);
        holder_ = NewExternalObject();
        disp_ = static_cast<win32::ExternalDispatch*>(holder_.get())->get();
        ASSERT_NE(disp_, nullptr);
    }
    void TearDown() override { SetLaunchPorts(saved_); }

    test::OleScope ole_;
    LaunchPorts saved_;
    FakeWindows windows_;
    NoShell shell_;
    std::shared_ptr<browser::Dispatch> holder_;
    IDispatch* disp_ = nullptr;
};

TEST_F(ComObjectTest, AnswersItsFiveInterfacesAndNoOther) {
    const IID known[] = {IID_IUnknown, IID_ISupportErrorInfo, IID_IProvideClassInfo, IID_IDispatch,
                         __uuidof(ITKelvraAppToIe)};
    IUnknown* identity = nullptr;
    ASSERT_EQ(disp_->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&identity)), S_OK);
    for (const IID& iid : known) {
        IUnknown* got = nullptr;
        ASSERT_EQ(disp_->QueryInterface(iid, reinterpret_cast<void**>(&got)), S_OK);
        // Every part answers IUnknown with the same object.
        IUnknown* back = nullptr;
        ASSERT_EQ(got->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)), S_OK);
        EXPECT_EQ(back, identity);
        back->Release();
        got->Release();
    }
    const IID foreign[] = {IID_IPersist, IID_IClassFactory, IID_IProvideClassInfo2,
                           IID_IConnectionPointContainer};
    for (const IID& iid : foreign) {
        void* got = reinterpret_cast<void*>(1);
        EXPECT_EQ(disp_->QueryInterface(iid, &got), E_NOINTERFACE);
        EXPECT_EQ(got, nullptr);
    }
    identity->Release();

    ISupportErrorInfo* errors = nullptr;
    ASSERT_EQ(disp_->QueryInterface(IID_ISupportErrorInfo, reinterpret_cast<void**>(&errors)),
              S_OK);
    for (const IID& iid : known)
        EXPECT_EQ(errors->InterfaceSupportsErrorInfo(iid), S_OK);
    EXPECT_EQ(errors->InterfaceSupportsErrorInfo(IID_IPersist), S_FALSE);
    errors->Release();
}

TEST_F(ComObjectTest, ReferenceCountOwnsTheObject) {
    // The holder has one reference; each AddRef and Release is counted.
    EXPECT_EQ(disp_->AddRef(), 2u);
    IUnknown* part = nullptr;
    ASSERT_EQ(disp_->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&part)), S_OK);
    EXPECT_EQ(part->Release(), 2u);
    EXPECT_EQ(disp_->Release(), 1u);
}

TEST_F(ComObjectTest, TypeInformationComesFromTheEmbeddedLibrary) {
    UINT count = 0;
    ASSERT_EQ(disp_->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
    EXPECT_EQ(disp_->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    ASSERT_EQ(disp_->GetTypeInfo(0, 0x0804, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, __uuidof(ITKelvraAppToIe)));
    info->ReleaseTypeAttr(attr);
    info->Release();

    IProvideClassInfo* provide = nullptr;
    ASSERT_EQ(disp_->QueryInterface(IID_IProvideClassInfo, reinterpret_cast<void**>(&provide)),
              S_OK);
    ITypeInfo* klass = nullptr;
    ASSERT_EQ(provide->GetClassInfo(&klass), S_OK);
    ASSERT_EQ(klass->GetTypeAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, __uuidof(TKelvraAppToIe)));
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    klass->ReleaseTypeAttr(attr);
    klass->Release();
    provide->Release();
}

TEST_F(ComObjectTest, NamesAreFoundWhateverTheirCase) {
    struct Case {
        const wchar_t* name;
        HRESULT hr;
        DISPID id;
    };
    const Case cases[] = {
        {L"createvantle", S_OK, 202},
        {L"GETKELVRAAPP", S_OK, 201},
        {L"ShowHint", S_OK, 203},
        {L"CreateVantles", DISP_E_UNKNOWNNAME, DISPID_UNKNOWN},
    };
    for (const Case& c : cases) {
        HRESULT hr = S_OK;
        const DISPID id = IdOf(disp_, c.name, &hr);
        EXPECT_EQ(hr, c.hr) << c.name;
        EXPECT_EQ(id, c.id) << c.name;
    }
}

TEST_F(ComObjectTest, PropertyIsReadOnlyAndTheSameOnEveryObject) {
    auto other = NewExternalObject();
    IDispatch* second = static_cast<win32::ExternalDispatch*>(other.get())->get();
    ASSERT_NE(second, disp_);
    for (IDispatch* d : {disp_, second}) {
        DISPPARAMS none{nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(d->Invoke(201, IID_NULL, 0, DISPATCH_PROPERTYGET | DISPATCH_METHOD, &none,
                            &result, nullptr, nullptr),
                  S_OK);
        ASSERT_EQ(V_VT(&result), VT_BSTR);
        EXPECT_STREQ(V_BSTR(&result), L"kelvraeduapp");
        VariantClear(&result);
    }
    // A put (plain or by reference) is no member of the interface.
    for (WORD flags : {WORD(DISPATCH_PROPERTYPUT), WORD(DISPATCH_PROPERTYPUTREF)}) {
        Args value;
        value.Text(L"x");
        DISPPARAMS params = value.Params();
        DISPID named = DISPID_PROPERTYPUT;
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
        EXPECT_EQ(disp_->Invoke(201, IID_NULL, 0, flags, &params, nullptr, nullptr, nullptr),
                  DISP_E_MEMBERNOTFOUND);
    }
}

// A member invoked as another kind than its own is not found; nothing runs.
TEST_F(ComObjectTest, MembersInvokedAsTheWrongKindAreNotFound) {
    struct Case {
        DISPID id;
        WORD flags;
        int args;
    };
    const Case cases[] = {
        {202, DISPATCH_PROPERTYGET, 6},
        {203, DISPATCH_PROPERTYGET, 2},
        {201, DISPATCH_METHOD, 0},
    };
    for (const Case& c : cases) {
        Args args;
        for (int i = 0; i < c.args; ++i)
            args.Text(L"a");
        DISPPARAMS params = args.Params();
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(disp_->Invoke(c.id, IID_NULL, 0, c.flags, &params, &result, nullptr, nullptr),
                  DISP_E_MEMBERNOTFOUND)
            << c.id;
        VariantClear(&result);
    }
    EXPECT_TRUE(windows_.told.empty());
    EXPECT_EQ(shell_.opened, 0);
}

// With no whiteboard installed, the box is owned by the window whose page called and that
// window is disabled while it shows, so a second click cannot stack a second box.
TEST(NoWhiteboardBoxTest, IsModalToTheWindowWhosePageCalled) {
    test::OleScope ole;
    test::ScopedEnv no_script("KELVRA_DIALOG_SCRIPT", std::nullopt);
    const LaunchPorts saved = CurrentLaunchPorts();
    LaunchPorts ports = saved;
    ports.whiteboard_path = [] { return std::string(); };
    ports.boxes = &ui::SystemMessageBoxes();
    SetLaunchPorts(ports);
    HWND page = CreateWindowExW(0, L"STATIC", L"page window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(page, nullptr);
    auto holder = NewExternalObject(page);
    IDispatch* disp = static_cast<win32::ExternalDispatch*>(holder.get())->get();

    HWND owner = nullptr;
    BOOL page_enabled = TRUE;
    test::BoxWatcher watcher(platform::win32::Widen(app::kApplicationTitle), [&](HWND box) {
        owner = GetWindow(box, GW_OWNER);
        page_enabled = IsWindowEnabled(page);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    Args args;
    args.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Text(L"e").Text(L"f");
    EXPECT_EQ(CallMethod(disp, 202, args), S_OK);
    EXPECT_TRUE(watcher.Join());
    EXPECT_EQ(owner, page);
    EXPECT_FALSE(page_enabled);
    EXPECT_TRUE(IsWindowEnabled(page));
    holder.reset();
    DestroyWindow(page);
    SetLaunchPorts(saved);
}

TEST_F(ComObjectTest, CreateVantleHandsOnSixTexts) {
    Args args;
    args.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Empty().Text(L"f");
    ASSERT_EQ(CallMethod(disp_, IdOf(disp_, L"createvantle"), args), S_OK);
    ASSERT_EQ(windows_.told.size(), 1u);
    EXPECT_EQ(windows_.told[0], "\"a&&b&&c&&d&&&&f&&\"");
    auto key = platform::SystemRegistry().Open(platform::RegistryHive::CurrentUser, kHandOffKey,
                                               platform::RegistryAccess::Read);
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->Query(kHandOffValue)->TextValue(), "\"a&&b&&c&&d&&&&f&&\"");
    EXPECT_EQ(shell_.opened, 0);
}

TEST_F(ComObjectTest, ArgumentRulesFailBeforeAnythingIsHandedOn) {
    Args five;
    five.Text(L"a").Text(L"b").Text(L"c").Text(L"d").Text(L"e");
    EXPECT_EQ(CallMethod(disp_, 202, five), DISP_E_BADPARAMCOUNT);

    Args number;
    number.Int(5).Text(L"b").Text(L"c").Text(L"d").Text(L"e").Text(L"f");
    Excep excep;
    EXPECT_EQ(CallMethod(disp_, 202, number, &excep), DISP_E_EXCEPTION);
    EXPECT_EQ(excep.Description(),
              L"Could not convert variant of type (Integer) into type (OleStr)");
    EXPECT_EQ(excep.Source(), L"KelvraeduApp.TKelvraAppToIe");
    EXPECT_EQ(excep.info.scode, static_cast<SCODE>(E_UNEXPECTED));
    EXPECT_TRUE(windows_.told.empty());
    EXPECT_EQ(shell_.opened, 0);

    // ShowHint takes anything and does nothing.
    Args hint;
    hint.Int(1).Int(2);
    EXPECT_EQ(CallMethod(disp_, 203, hint), S_OK);
    Args empty_hint;
    empty_hint.Empty().Empty();
    EXPECT_EQ(CallMethod(disp_, 203, empty_hint), S_OK);
    EXPECT_TRUE(windows_.told.empty());
}

// The termination check and the class factory's count; pages' objects are never counted.
TEST(ServerObjectsTest, OutsideObjectsAndLocksAskBeforeEnding) {
    test::OleScope ole;
    test::TempDir dir;
    const std::string script = dir.File("dialogs.txt");
    test::WriteBytes(script, "answer: No\nanswer: Yes\n");
    test::ScopedEnv env("KELVRA_DIALOG_SCRIPT", script);

    auto page = NewExternalObject();
    EXPECT_EQ(win32::ServerObjectCount(), 0);
    EXPECT_TRUE(AutomationTerminationCheck());

    auto& factory = win32::AppToIeClassFactory::Instance();
    IDispatch* outside = nullptr;
    ASSERT_EQ(factory.CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&outside)),
              S_OK);
    EXPECT_EQ(win32::ServerObjectCount(), 1);
    EXPECT_FALSE(AutomationTerminationCheck());  // answered No
    EXPECT_TRUE(AutomationTerminationCheck());   // answered Yes
    outside->Release();
    EXPECT_EQ(win32::ServerObjectCount(), 0);
    EXPECT_TRUE(AutomationTerminationCheck());  // no question

    EXPECT_EQ(factory.LockServer(TRUE), S_OK);
    EXPECT_EQ(win32::ServerObjectCount(), 1);
    EXPECT_FALSE(AutomationTerminationCheck());  // no answer left: No
    EXPECT_EQ(factory.LockServer(FALSE), S_OK);
    EXPECT_EQ(win32::ServerObjectCount(), 0);

    // A refused interface or aggregation leaves nothing counted.
    void* got = nullptr;
    EXPECT_EQ(factory.CreateInstance(nullptr, IID_IPersist, &got), E_NOINTERFACE);
    EXPECT_EQ(factory.CreateInstance(static_cast<IUnknown*>(&factory), IID_IUnknown, &got),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(win32::ServerObjectCount(), 0);

    const auto records = ui::ReadScriptRecords(test::ReadBytes(script));
    ASSERT_EQ(records.size(), 3u);
    for (const auto& r : records) {
        EXPECT_EQ(r.fields.at("caption"), kTerminateCaption);
        EXPECT_EQ(r.fields.at("text"), kTerminateText);
        EXPECT_EQ(r.fields.at("buttons"), "YesNo");
        EXPECT_EQ(r.fields.at("icon"), "Warning");
    }
}

// Each allocation of an outside creation and of every member call fails in turn: no C++
// exception leaves the COM boundary; the factory and the members answer E_OUTOFMEMORY.
TEST(AllocationFailureTest, NoExceptionLeavesTheFactoryOrAMember) {
    test::OleScope ole;
    auto& factory = win32::AppToIeClassFactory::Instance();
    for (int n = 0;; ++n) {
        ITKelvraAppToIe* object = nullptr;
        HRESULT hr;
        bool hit;
        {
            test::FailingAllocation fail(n);
            hr = factory.CreateInstance(nullptr, __uuidof(ITKelvraAppToIe),
                                        reinterpret_cast<void**>(&object));
            hit = fail.Hit();
        }
        if (!hit) {
            ASSERT_EQ(hr, S_OK);
            object->Release();
            break;
        }
        EXPECT_EQ(hr, E_OUTOFMEMORY) << "allocation " << n;
        EXPECT_EQ(object, nullptr);
        EXPECT_EQ(win32::ServerObjectCount(), 0) << "allocation " << n;
    }

    FakeWindows windows;
    NoShell shell;
    const LaunchPorts saved = CurrentLaunchPorts();
    LaunchPorts ports = saved;
    ports.whiteboard_path = [] { return std::string("C:\\wb\\Ondrix.exe"); };
    ports.windows = &windows;
    ports.shell = &shell;
    SetLaunchPorts(ports);
    ITKelvraAppToIe* object = nullptr;
    ASSERT_EQ(factory.CreateInstance(nullptr, __uuidof(ITKelvraAppToIe),
                                     reinterpret_cast<void**>(&object)),
              S_OK);
    VARIANT text;
    V_VT(&text) = VT_BSTR;
    V_BSTR(&text) = SysAllocString(L"a");
    VARIANT number;
    V_VT(&number) = VT_I4;
    V_I4(&number) = 5;
    struct Member {
        const char* name;
        std::function<HRESULT()> call;
        HRESULT result;  // when no allocation fails
    };
    const Member members[] = {
        {"GetKelvraApp",
         [&] {
             VARIANT out;
             const HRESULT hr = object->get_GetKelvraApp(&out);
             VariantClear(&out);
             return hr;
         },
         S_OK},
        {"CreateVantle", [&] { return object->CreateVantle(text, text, text, text, text, text); },
         S_OK},
        {"CreateVantle with a number",
         [&] { return object->CreateVantle(number, text, text, text, text, text); }, E_UNEXPECTED},
        {"ShowHint", [&] { return object->ShowHint(text, number); }, S_OK},
    };
    for (const Member& m : members) {
        for (int n = 0;; ++n) {
            HRESULT hr;
            bool hit;
            {
                test::FailingAllocation fail(n);
                hr = m.call();
                hit = fail.Hit();
            }
            if (!hit) {
                EXPECT_EQ(hr, m.result) << m.name;
                break;
            }
            EXPECT_EQ(hr, E_OUTOFMEMORY) << m.name << ", allocation " << n;
        }
    }
    object->Release();
    VariantClear(&text);
    SetLaunchPorts(saved);
    EXPECT_EQ(win32::ServerObjectCount(), 0);
}

// The OLE allocator, through its spy, refuses every allocation while armed. The string
// cache is switched off, so every string comes from the allocator.
class RefusingOleAllocator final : public IMallocSpy {
  public:
    RefusingOleAllocator() {
        SetOaNoCache();
        registered_ = SUCCEEDED(CoRegisterMallocSpy(this));
    }
    ~RefusingOleAllocator() {
        if (registered_)
            CoRevokeMallocSpy();
    }
    bool registered() const { return registered_; }
    bool refusing = false;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IMallocSpy)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP_(SIZE_T) PreAlloc(SIZE_T cb) override { return refusing ? 0 : cb; }
    STDMETHODIMP_(void*) PostAlloc(void* actual) override { return actual; }
    STDMETHODIMP_(void*) PreFree(void* request, BOOL) override { return request; }
    STDMETHODIMP_(void) PostFree(BOOL) override {}
    STDMETHODIMP_(SIZE_T) PreRealloc(void* request, SIZE_T cb, void** actual, BOOL) override {
        *actual = request;
        return cb;
    }
    STDMETHODIMP_(void*) PostRealloc(void* actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreGetSize(void* request, BOOL) override { return request; }
    STDMETHODIMP_(SIZE_T) PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    STDMETHODIMP_(void*) PreDidAlloc(void* request, BOOL) override { return request; }
    STDMETHODIMP_(int) PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    STDMETHODIMP_(void) PreHeapMinimize() override {}
    STDMETHODIMP_(void) PostHeapMinimize() override {}

  private:
    bool registered_ = false;
};

TEST(AllocationFailureTest, AResultTextThatCannotBeAllocatedFailsTheMember) {
    test::OleScope ole;
    ITKelvraAppToIe* object = nullptr;
    ASSERT_EQ(win32::AppToIeClassFactory::Instance().CreateInstance(
                  nullptr, __uuidof(ITKelvraAppToIe), reinterpret_cast<void**>(&object)),
              S_OK);
    RefusingOleAllocator allocator;
    ASSERT_TRUE(allocator.registered());
    VARIANT out;
    allocator.refusing = true;
    const HRESULT hr = object->get_GetKelvraApp(&out);
    allocator.refusing = false;
    EXPECT_EQ(hr, E_OUTOFMEMORY);
    EXPECT_EQ(V_VT(&out), VT_EMPTY);
    VariantClear(&out);
    object->Release();
}

// The real question while outside clients hold objects: task-modal (the thread's other
// windows are disabled while it shows) with No as its default button (Enter answers No).
TEST(ServerObjectsTest, TerminationQuestionIsTaskModalWithNoAsDefault) {
    test::OleScope ole;
    test::ScopedEnv no_script("KELVRA_DIALOG_SCRIPT", std::nullopt);
    HWND other = CreateWindowExW(0, L"STATIC", L"other window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    auto& factory = win32::AppToIeClassFactory::Instance();
    ASSERT_EQ(factory.LockServer(TRUE), S_OK);
    BOOL other_enabled = TRUE;
    test::BoxWatcher watcher(platform::win32::Widen(kTerminateCaption), [&](HWND box) {
        other_enabled = IsWindowEnabled(other);
        PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
        PostMessageW(box, WM_KEYUP, VK_RETURN, 0);
    });
    EXPECT_FALSE(AutomationTerminationCheck());
    EXPECT_TRUE(watcher.Join()) << "Enter did not answer the question";
    EXPECT_FALSE(other_enabled);
    EXPECT_EQ(factory.LockServer(FALSE), S_OK);
    DestroyWindow(other);
}

TEST(LocalServerPathTest, BlankPathsBecomeShortOrQuoted) {
    test::TempDir dir;
    const std::wstring folder = platform::win32::Widen(dir.path()) + L"\\with blank";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring file = folder + L"\\server.exe";
    test::WriteBytes(platform::win32::Narrow(file), "MZ");
    wchar_t short_form[MAX_PATH];
    ASSERT_NE(GetShortPathNameW(file.c_str(), short_form, MAX_PATH), 0u);
    EXPECT_EQ(win32::LocalServerPath(file), short_form);
    EXPECT_EQ(win32::LocalServerPath(L"C:\\plain\\server.exe"), L"C:\\plain\\server.exe");
    // No file, so no short form: the long path is quoted rather than left to split.
    EXPECT_EQ(win32::LocalServerPath(L"C:\\no such dir\\server.exe"),
              L"\"C:\\no such dir\\server.exe\"");
}

// Message 3027 carries the address of a variable holding the pointer to the ANSI text.
std::string g_received;
LRESULT CALLBACK BoardProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == kWhiteboardMessage) {
        g_received = wp == 0 ? *reinterpret_cast<const char* const*>(lp) : "<wParam not 0>";
        return 0;
    }
    return DefWindowProcW(w, m, wp, lp);
}

TEST(WhiteboardWindowsTest, FindsTheClassAndSendsPointerToPointer) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = BoardProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"VantleMainFrame";
    ASSERT_NE(RegisterClassW(&wc), 0);
    EXPECT_EQ(SystemWhiteboardWindows().Find(kWhiteboardWindowClass), 0u);
    HWND board = CreateWindowExW(0, L"VantleMainFrame", L"any title", WS_OVERLAPPEDWINDOW, 0, 0,
                                 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(board, nullptr);
    const std::uintptr_t found = SystemWhiteboardWindows().Find(kWhiteboardWindowClass);
    EXPECT_EQ(found, reinterpret_cast<std::uintptr_t>(board));
    SystemWhiteboardWindows().Notify(found, "\"a&&b&&\"");
    EXPECT_EQ(g_received, "\"a&&b&&\"");
    DestroyWindow(board);
    UnregisterClassW(L"VantleMainFrame", wc.hInstance);
}

}  // namespace
}  // namespace kelvra::bridge
