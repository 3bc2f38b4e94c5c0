#include "app/window/SelectionServer.h"

#include "app/Batch.h"
#include "app/ConvertFile.h"
#include "app/window/SelectionSummary.h"
#include "model/Qwzsaveparams.h"
#include "platform/ConversionSlot.h"

#include <windows.h>
#include <ole2.h>
#include <shellapi.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

namespace qwz {

const CLSID kSelectionServerClass = {0x42F136F0, 0x9B26, 0x4AEC, {0x8D, 0xA2, 0x6D, 0x76, 0x35, 0xE0, 0x1D, 0x65}};

namespace {

// Posted to the serving thread once the selection's batch has ended.
constexpr UINT kBatchDone = WM_APP + 1;
// Without a drop, the server ends after this long.
constexpr UINT kIdleMs = 60000;

// The files of a drop: the CF_HDROP medium of the data object.
std::vector<std::filesystem::path> DroppedFiles(IDataObject* data) {
    std::vector<std::filesystem::path> files;
    FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium{};
    if (!data || FAILED(data->GetData(&format, &medium))) return files;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        HDROP drop = static_cast<HDROP>(medium.hGlobal);
        const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
        for (UINT i = 0; i < count; ++i) {
            const UINT length = DragQueryFileW(drop, i, nullptr, 0);
            std::wstring name(length + 1, L'\0');
            name.resize(DragQueryFileW(drop, i, name.data(), length + 1));
            if (!name.empty()) files.emplace_back(name);
        }
    }
    ReleaseStgMedium(&medium);
    return files;
}

// The one selection this process serves, converted on a thread of its own
// so that the drop returns to Explorer at once.
class Selection {
public:
    Selection(int target, DWORD servingThread) : target_(target), servingThread_(servingThread) {}
    ~Selection() {
        if (batch_.joinable()) batch_.join();
    }

    // The first drop is taken; a later one (the class is for one use) is not.
    bool Start(std::vector<std::filesystem::path> files) {
        if (started_.exchange(true)) return false;
        batch_ = std::thread([this, files = std::move(files)] {
            BatchHooks hooks;
            hooks.Convert = [](const std::filesystem::path& path, const ConversionRequest& request) {
                platform::ConversionSlot slot;
                return ConvertAndReport(path, request, platform::SystemFileOps(), WarningBox::Leave);
            };
            summary_ = RunBatch(files, RequestFor(target_, TQWZSaveParams()), hooks);
            PostThreadMessageW(servingThread_, kBatchDone, 0, 0);
        });
        return true;
    }
    bool Started() const { return started_; }
    const BatchSummary& Finish() {
        batch_.join();
        return summary_;
    }

private:
    int target_;
    DWORD servingThread_;
    std::atomic<bool> started_{false};
    std::thread batch_;
    BatchSummary summary_;
};

// IDropTarget over the selection; reference counted as COM asks, though
// the selection outlives it.
class DropTarget final : public IDropTarget {
public:
    explicit DropTarget(Selection& selection) : selection_(selection) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDropTarget)) return E_NOINTERFACE;
        *out = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) delete this;
        return left;
    }

    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        return Accept(effect);
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD, POINTL, DWORD* effect) override { return Accept(effect); }
    HRESULT STDMETHODCALLTYPE DragLeave() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        if (!selection_.Start(DroppedFiles(data))) {
            if (effect) *effect = DROPEFFECT_NONE;
            return S_OK;
        }
        return Accept(effect);
    }

private:
    // The files are changed where they are: neither moved nor linked.
    static HRESULT Accept(DWORD* effect) {
        if (effect) *effect = DROPEFFECT_COPY;
        return S_OK;
    }

    Selection& selection_;
    std::atomic<ULONG> references_{1};
};

class Factory final : public IClassFactory {
public:
    explicit Factory(Selection& selection) : selection_(selection) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IClassFactory)) return E_NOINTERFACE;
        *out = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // Lives as long as the serving function.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        DropTarget* target = new (std::nothrow) DropTarget(selection_);
        if (!target) return E_OUTOFMEMORY;
        const HRESULT hr = target->QueryInterface(iid, out);
        target->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    Selection& selection_;
};

}  // namespace

void ServeSelection(int target) {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    {
        Selection selection(target, GetCurrentThreadId());
        Factory factory(selection);
        DWORD cookie = 0;
        if (SUCCEEDED(CoRegisterClassObject(kSelectionServerClass, &factory, CLSCTX_LOCAL_SERVER, REGCLS_SINGLEUSE,
                                            &cookie))) {
            const UINT_PTR idle = SetTimer(nullptr, 0, kIdleMs, nullptr);
            HWND summary = nullptr;
            MSG msg;
            while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
                if (!msg.hwnd && msg.message == WM_TIMER && msg.wParam == idle) {
                    KillTimer(nullptr, idle);
                    if (!selection.Started()) break;
                    continue;
                }
                if (!msg.hwnd && msg.message == kBatchDone) {
                    const BatchSummary& done = selection.Finish();
                    if (!NeedsSelectionSummary(done) || !(summary = ShowSelectionSummary(done))) break;
                    continue;
                }
                if (summary && IsWindow(summary) && IsDialogMessageW(summary, &msg)) continue;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            CoRevokeClassObject(cookie);
        }
    }
    CoUninitialize();
}

}  // namespace qwz
