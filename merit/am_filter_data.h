// The filter mapper's parser of registration records. mingw-w64 declares
// neither the interface nor its id, so both are declared here.
#pragma once
#include "../base/win_headers.h"

// {97F7C4D4-547B-4A5F-8332-536430AD2E4D}
constexpr GUID IID_IAMFilterDataOwn = {0x97F7C4D4, 0x547B, 0x4A5F, {0x83, 0x32, 0x53, 0x64, 0x30, 0xAD, 0x2E, 0x4D}};

struct IAMFilterData : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE ParseFilterData(BYTE* data, ULONG size, BYTE** record) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateFilterData(REGFILTER2* filter, BYTE** data, ULONG* size) = 0;
};
