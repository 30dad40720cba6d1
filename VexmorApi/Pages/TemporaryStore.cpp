// Temporary files of page images.
#include "VexmorApi/Pages/TemporaryStore.h"

#include <cxxabi.h>

#include <cstdlib>

#include "VexmorApi/Bytes/BytesFile.h"
#include "VexmorApi/Bytes/BytesMemory.h"
#include "VexmorApi/Utilities/Exception.h"
#include "VexmorApi/Utilities/File.h"
#include "VexmorApi/Utilities/FileManager.h"

namespace temporary_store {

void StoreInTemporaryFile(std::unique_ptr<Bytes>& bytes, char const* origin, char const* function)
{
    if (auto* memory = dynamic_cast<BytesMemory*>(bytes.get())) {
        std::string const path = Singleton<FileManager>::GetInstance()->CreateTemporaryFilePath();
        std::unique_ptr<Bytes> file;
        try {
            file = std::make_unique<BytesFile>(path, memory->GetByteSize(), memory->GetBytesPointer(),
                                               BytesFile::Temporary);
        } catch (...) {
            // A partly written file has no owner yet.
            File(path).Remove();
            throw;
        }
        // The block goes back to the scan's page blocks, where the next
        // page takes it instead of mapping memory afresh.
        bytes = std::move(file);
        return;
    }
    if (auto* file = dynamic_cast<BytesFile*>(bytes.get())) {
        file->SaveBytesToFileIfBytesOnMemory();
        return;
    }
    // No block, or one of another kind: name what the member holds.
    std::string held = TypeName(typeid(bytes));
    if (bytes) {
        Bytes const& kind = *bytes;
        held = TypeName(typeid(kind));
    }
    VEXMOR_THROW(origin, function, Exception::InvalidMemberVariable, "member variable typeid is " + held);
}

std::string TypeName(std::type_info const& type)
{
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string const text = status == 0 && name ? name : type.name();
    std::free(name);
    return text;
}

}  // namespace temporary_store
