#include "graph_child.h"

#include "../base/bounded_text.h"
#include "../base/scoped.h"
#include "../child/child_side.h"
#include "check_report.h"

#include <vfwmsgs.h>

const wchar_t kPlaybackCheckOption[] = L"/vantrel-playback-check";

namespace {

HANDLE g_channel = nullptr;
std::size_t g_lastFilterLines = 0;

std::size_t g_visitedCount = 0;
IBaseFilter* g_visited[kMaxChainRows] = {};

// Whether a pin is one that rendering a filter renders: an output pin whose
// name does not start with '~' (such pins are not meant to be rendered).
bool IsRenderedOutput(IPin* pin) {
    PIN_INFO info = {};
    if (FAILED(pin->QueryPinInfo(&info))) return false;
    if (info.pFilter) info.pFilter->Release();
    return info.dir == PINDIR_OUTPUT && info.achName[0] != L'~';
}

void GuidText(const GUID& guid, wchar_t (&text)[40]) {
    if (StringFromGUID2(guid, text, 40) == 0) CopyText(text, 40, L"-");
}

// Tells the program which filter the graph builder is about to try, before
// it is created and connected: if that filter then crashes or hangs, the
// program can name it.
class BuilderCallback final : public IAMGraphBuilderCallback {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IAMGraphBuilderCallback) {
            *out = static_cast<IAMGraphBuilderCallback*>(this);
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    // One instance lives as long as the process.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE SelectedFilter(IMoniker* moniker) override {
        // The program takes no more than a whole report: past that many
        // choices the last one is no longer named.
        if (g_lastFilterLines >= kLastFilterLinesAtMost) return S_OK;
        ++g_lastFilterLines;
        ComPtr<IPropertyBag> bag;
        if (moniker && SUCCEEDED(moniker->BindToStorage(nullptr, nullptr, IID_IPropertyBag, bag.PutVoid())) && bag) {
            ScopedVariant name;
            if (SUCCEEDED(bag->Read(L"FriendlyName", name.Get(), nullptr)) && name->vt == VT_BSTR && name->bstrVal) {
                WriteReportLine(g_channel, L'L', name->bstrVal);
            }
        }
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE CreatedFilter(IBaseFilter*) override { return S_OK; }
};

BuilderCallback g_callback;

void FreeMediaTypeFields(AM_MEDIA_TYPE& type) {
    if (type.cbFormat) CoTaskMemFree(type.pbFormat);
    if (type.pUnk) type.pUnk->Release();
    type.cbFormat = 0;
    type.pbFormat = nullptr;
    type.pUnk = nullptr;
}

// The subtype of the first media type an unconnected pin offers.
bool FirstOfferedSubtype(IPin* pin, GUID* subtype) {
    ComPtr<IEnumMediaTypes> types;
    if (FAILED(pin->EnumMediaTypes(types.Put())) || !types) return false;
    AM_MEDIA_TYPE* type = nullptr;
    if (types->Next(1, &type, nullptr) != S_OK || !type) return false;
    *subtype = type->subtype;
    FreeMediaTypeFields(*type);
    CoTaskMemFree(type);
    return true;
}

bool Visited(IBaseFilter* filter) {
    for (std::size_t i = 0; i < g_visitedCount; ++i) {
        if (g_visited[i] == filter) return true;
    }
    return false;
}

// Reports the filter, then follows each of its output pins downstream, so
// that the rows come in stream order from the source to the renderers.
void ReportFromFilter(IBaseFilter* filter, const GUID* inputSubtype) {
    if (Visited(filter) || g_visitedCount >= kMaxChainRows) return;
    g_visited[g_visitedCount++] = filter;

    CLSID classId = GUID_NULL;
    filter->GetClassID(&classId);
    wchar_t classText[40], subtypeText[40] = L"-";
    GuidText(classId, classText);
    if (inputSubtype) GuidText(*inputSubtype, subtypeText);
    FILTER_INFO info = {};
    filter->QueryFilterInfo(&info);
    if (info.pGraph) info.pGraph->Release();
    info.achName[MAX_FILTER_NAME - 1] = L'\0';
    WriteReportLine(g_channel, L'F', classText, subtypeText, info.achName);

    ComPtr<IEnumPins> pins;
    if (FAILED(filter->EnumPins(pins.Put())) || !pins) return;
    for (;;) {
        ComPtr<IPin> pin;
        if (pins->Next(1, pin.Put(), nullptr) != S_OK || !pin) break;
        if (!IsRenderedOutput(pin.Get())) continue;
        ComPtr<IPin> peer;
        if (pin->ConnectedTo(peer.Put()) == S_OK && peer) {
            AM_MEDIA_TYPE type = {};
            const bool typed = SUCCEEDED(pin->ConnectionMediaType(&type));
            const GUID subtype = type.subtype;
            if (typed) FreeMediaTypeFields(type);
            PIN_INFO peerInfo = {};
            if (SUCCEEDED(peer->QueryPinInfo(&peerInfo)) && peerInfo.pFilter) {
                ReportFromFilter(peerInfo.pFilter, typed ? &subtype : nullptr);
                peerInfo.pFilter->Release();
            }
        } else {
            GUID subtype = GUID_NULL;
            wchar_t text[40] = L"-";
            if (FirstOfferedSubtype(pin.Get(), &subtype)) GuidText(subtype, text);
            WriteReportLine(g_channel, L'U', text);
        }
    }
}

// Builds as RenderFile does, step by step: the source filter for the file,
// then Render on each of its output pins, keeping what connected. (A failed
// RenderFile leaves an empty graph, which would show nothing of the part
// that works.) The graph is never paused or run.
HRESULT BuildGraph(IGraphBuilder* graph, const wchar_t* path) {
    ComPtr<IBaseFilter> source;
    HRESULT hr = graph->AddSourceFilter(path, path, source.Put());
    if (FAILED(hr) || !source) return FAILED(hr) ? hr : E_FAIL;

    IPin* outputs[kMaxChainRows] = {};
    std::size_t outputCount = 0;
    ComPtr<IEnumPins> pins;
    if (SUCCEEDED(source->EnumPins(pins.Put())) && pins) {
        IPin* pin = nullptr;
        while (outputCount < kMaxChainRows && pins->Next(1, &pin, nullptr) == S_OK && pin) {
            if (IsRenderedOutput(pin)) {
                outputs[outputCount++] = pin;
            } else {
                pin->Release();
            }
            pin = nullptr;
        }
    }
    bool any = false, partial = false;
    HRESULT failure = VFW_E_CANNOT_RENDER;
    for (std::size_t i = 0; i < outputCount; ++i) {
        const HRESULT rendered = graph->Render(outputs[i]);
        if (SUCCEEDED(rendered)) any = true;
        else failure = rendered;
        if (rendered != S_OK) partial = true;
        outputs[i]->Release();
    }
    ReportFromFilter(source.Get(), nullptr);
    if (!any) return failure;
    return partial ? VFW_S_PARTIAL_RENDER : S_OK;
}

// Whether the system has no audio output device. The playback system's
// audio library is loaded here, in the child, from the system folder: the
// program itself never loads it (it would open the system's audio codecs).
bool NoAudioOutputDevice() {
    wchar_t path[MAX_PATH];
    const UINT length = GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || AppendText(path, MAX_PATH, L"\\winmm.dll") != kTextOk) return false;
    const HMODULE winmm = LoadLibraryW(path);
    using CountDevices = UINT(WINAPI*)();
    const FARPROC entry = winmm ? GetProcAddress(winmm, "waveOutGetNumDevs") : nullptr;
    return entry && reinterpret_cast<CountDevices>(reinterpret_cast<void*>(entry))() == 0;
}

}  // namespace

bool IsPlaybackCheckChild(wchar_t* path, std::size_t capacity) {
    return ReadChildCommandLine(kPlaybackCheckOption, &path, 1, capacity);
}

bool IsWaitingPlaybackCheckChild() { return ReadChildCommandLine(kPlaybackCheckOption, nullptr, 0, 0); }

int RunPlaybackCheckChild(const wchar_t* path) {
    g_channel = BeginChildProcess();
    CoInitialize(nullptr);

    HRESULT hr;
    {
        // The graph is made before the file is known: the system's own
        // filter graph, which loads no codec until a file is rendered.
        ComPtr<IGraphBuilder> graph;
        hr = CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder, graph.PutVoid());
        wchar_t readPath[kNameCapacity];
        if (!path) {
            // No line: the program is gone, or chose no file.
            if (!ReadChildInput(readPath, kNameCapacity)) EndChildProcess();
            path = readPath;
        }
        if (SUCCEEDED(hr) && graph) {
            ComPtr<IObjectWithSite> site;
            if (SUCCEEDED(graph->QueryInterface(IID_IObjectWithSite, site.PutVoid())) && site) {
                site->SetSite(&g_callback);
            }
            hr = BuildGraph(graph.Get(), path);
        }
        if (hr != S_OK && NoAudioOutputDevice()) WriteReportLine(g_channel, L'A');
        wchar_t status[16];
        FormatText(status, 16, L"%08lx", static_cast<unsigned long>(hr));
        WriteReportLine(g_channel, L'R', status);
        // The report is complete. The graph's filters are not released: a
        // codec that misbehaves on the way out must not change what was found.
        graph.Detach();
    }
    EndChildProcess();
}
