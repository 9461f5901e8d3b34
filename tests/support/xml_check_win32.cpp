// SPDX-License-Identifier: MIT
// The well-formedness check through XmlLite, the XML reader that comes with Windows (and Wine);
// expat has no MinGW-w64 build among the system's packages.
#include "support/xml_check.h"

#include <windows.h>

#include <shlwapi.h>
#include <xmllite.h>

#include <climits>
#include <cstdio>

namespace tarvex::test {
namespace {

using CreateReader = HRESULT(WINAPI*)(REFIID, void**, IMalloc*);

// Releases a COM pointer at the end of its scope.
template <class T> struct Released {
    T* p = nullptr;
    ~Released() {
        if (p != nullptr) {
            p->Release();
        }
    }
};

std::string Hex(HRESULT result) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lx", static_cast<unsigned long>(result));
    return text;
}

} // namespace

std::string XmlProblem(std::string_view text) {
    if (text.size() > UINT_MAX) {
        return "document too large to check";
    }
    const HMODULE library = LoadLibraryW(L"xmllite.dll");
    const auto create = library != nullptr ? reinterpret_cast<CreateReader>(reinterpret_cast<void*>(
                                                 GetProcAddress(library, "CreateXmlReader")))
                                           : nullptr;
    if (create == nullptr) {
        return "xmllite.dll has no CreateXmlReader";
    }
    Released<IXmlReader> reader;
    Released<IStream> stream{
        SHCreateMemStream(reinterpret_cast<const BYTE*>(text.data()), static_cast<UINT>(text.size()))};
    if (stream.p == nullptr ||
        FAILED(create(__uuidof(IXmlReader), reinterpret_cast<void**>(&reader.p), nullptr)) ||
        FAILED(reader.p->SetInput(stream.p))) {
        return "XmlLite could not make a reader";
    }
    XmlNodeType type = XmlNodeType_None;
    HRESULT result = S_OK;
    while ((result = reader.p->Read(&type)) == S_OK) {
    }
    if (result == S_FALSE) {
        return {};
    }
    UINT line = 0;
    UINT column = 0;
    reader.p->GetLineNumber(&line);
    reader.p->GetLinePosition(&column);
    return "XmlLite error " + Hex(result) + " at line " + std::to_string(line) + ", column " +
           std::to_string(column);
}

bool XmlProblemChecksText() {
    return false;
}

} // namespace tarvex::test
