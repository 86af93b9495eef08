// The baseline of measurement 9: a bare program that builds a file's graph as
// the playback check's child does (AddSourceFilter, then Render on each output
// pin), lists its filters' names on its standard output and ends, with none
// of the program's own code. Usage: bench_bare_graph <file>
#include <windows.h>

#include <dshow.h>
#include <shellapi.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments || count != 2) return 2;
    CoInitialize(nullptr);
    IGraphBuilder* graph = nullptr;
    if (FAILED(CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                reinterpret_cast<void**>(&graph)))) {
        return 3;
    }
    IBaseFilter* source = nullptr;
    if (FAILED(graph->AddSourceFilter(arguments[1], arguments[1], &source))) return 4;
    IEnumPins* pins = nullptr;
    IPin* outputs[16] = {};
    int outputCount = 0;
    if (SUCCEEDED(source->EnumPins(&pins))) {
        IPin* pin = nullptr;
        while (outputCount < 16 && pins->Next(1, &pin, nullptr) == S_OK) {
            PIN_DIRECTION direction;
            pin->QueryDirection(&direction);
            if (direction == PINDIR_OUTPUT) outputs[outputCount++] = pin;
            else pin->Release();
        }
        pins->Release();
    }
    for (int i = 0; i < outputCount; ++i) {
        graph->Render(outputs[i]);
        outputs[i]->Release();
    }
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    IEnumFilters* filters = nullptr;
    if (SUCCEEDED(graph->EnumFilters(&filters))) {
        IBaseFilter* filter = nullptr;
        while (filters->Next(1, &filter, nullptr) == S_OK) {
            FILTER_INFO info = {};
            filter->QueryFilterInfo(&info);
            if (info.pGraph) info.pGraph->Release();
            info.achName[MAX_FILTER_NAME - 2] = L'\0';  // room for the line end
            lstrcatW(info.achName, L"\n");
            DWORD written = 0;
            WriteFile(out, info.achName, static_cast<DWORD>(lstrlenW(info.achName) * sizeof(wchar_t)), &written,
                      nullptr);
            filter->Release();
        }
        filters->Release();
    }
    // Ends as the program's child does, without tearing the graph down.
    TerminateProcess(GetCurrentProcess(), 0);
    return 0;
}
