#include "cabinet_writer.h"

#include <libgcab.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace kelvra::publish {
namespace {

struct Unref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, Unref>;

[[noreturn]] void Fail(const std::string& what, GError* error) {
    std::string text = what;
    if (error != nullptr) {
        text += ": " + std::string(error->message);
        g_error_free(error);
    }
    throw std::runtime_error(text);
}

}  // namespace

void WriteCabinet(const std::string& path, const std::vector<ReleaseFile>& files) {
    Ref<GCabCabinet> cabinet(gcab_cabinet_new());
    // The folder belongs to the cabinet once added; the cabinet keeps its own reference.
    Ref<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_MSZIP));
    for (const ReleaseFile& file : files) {
        std::string stored = file.name;
        std::replace(stored.begin(), stored.end(), '/', '\\');
        Ref<GFile> source(g_file_new_for_path(file.source.c_str()));
        Ref<GCabFile> entry(gcab_file_new_with_file(stored.c_str(), source.get()));
        GError* error = nullptr;
        if (!gcab_folder_add_file(folder.get(), entry.get(), FALSE, nullptr, &error))
            Fail("Cannot add " + file.source + " to " + path, error);
        // After adding, which sets the attributes from the file: a program is marked as one, so
        // that extraction on Linux makes it executable.
        std::error_code ec;
        const auto perms = std::filesystem::status(file.source, ec).permissions();
        if (!ec && (perms & std::filesystem::perms::owner_exec) != std::filesystem::perms::none)
            gcab_file_set_attributes(entry.get(),
                                     GCAB_FILE_ATTRIBUTE_ARCH | GCAB_FILE_ATTRIBUTE_EXEC);
    }
    GError* error = nullptr;
    if (!gcab_cabinet_add_folder(cabinet.get(), folder.get(), &error))
        Fail("Cannot make " + path, error);
    Ref<GFile> target(g_file_new_for_path(path.c_str()));
    Ref<GFileOutputStream> out(
        g_file_replace(target.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &error));
    if (!out)
        Fail("Cannot create " + path, error);
    if (!gcab_cabinet_write_simple(cabinet.get(), G_OUTPUT_STREAM(out.get()), nullptr, nullptr,
                                   nullptr, &error))
        Fail("Cannot write " + path, error);
    if (!g_output_stream_close(G_OUTPUT_STREAM(out.get()), nullptr, &error))
        Fail("Cannot write " + path, error);
}

}  // namespace kelvra::publish
