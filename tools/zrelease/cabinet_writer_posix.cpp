// Cabinets through libgcab: a cabinet of one MSZIP folder holding one file.
#include "tools/zrelease/cabinet_writer.h"

#include <libgcab.h>

#include <memory>

namespace zarn::release {

namespace {

struct ObjectUnref {
  void operator()(void* object) const { g_object_unref(object); }
};
template <typename T>
using Ref = std::unique_ptr<T, ObjectUnref>;

struct ErrorFree {
  void operator()(GError* error) const { g_error_free(error); }
};

}  // namespace

std::string WriteSingleFileCabinet(const std::string& source_path, const std::string& stored_name,
                                   const std::string& cabinet_path) {
  GError* raw_error = nullptr;
  const auto failed = [&raw_error](const std::string& what) {
    const std::unique_ptr<GError, ErrorFree> error(raw_error);
    return what + (error ? std::string(": ") + error->message : std::string());
  };
  const Ref<GFile> source(g_file_new_for_path(source_path.c_str()));
  const Ref<GFile> target(g_file_new_for_path(cabinet_path.c_str()));
  const Ref<GCabCabinet> cabinet(gcab_cabinet_new());
  // The folder and the file are owned by the cabinet and the folder once added; these references
  // are the callers' own.
  const Ref<GCabFolder> folder(gcab_folder_new(GCAB_COMPRESSION_MSZIP));
  const Ref<GCabFile> file(gcab_file_new_with_file(stored_name.c_str(), source.get()));
  if (!gcab_folder_add_file(folder.get(), file.get(), FALSE, nullptr, &raw_error)) {
    return failed("cannot add " + source_path);
  }
  if (!gcab_cabinet_add_folder(cabinet.get(), folder.get(), &raw_error)) {
    return failed("cannot make the cabinet " + cabinet_path);
  }
  const Ref<GFileOutputStream> output(
      g_file_replace(target.get(), nullptr, FALSE, G_FILE_CREATE_NONE, nullptr, &raw_error));
  if (!output) return failed("cannot create " + cabinet_path);
  if (!gcab_cabinet_write_simple(cabinet.get(), G_OUTPUT_STREAM(output.get()), nullptr, nullptr,
                                 nullptr, &raw_error)) {
    return failed("cannot write " + cabinet_path);
  }
  if (!g_output_stream_close(G_OUTPUT_STREAM(output.get()), nullptr, &raw_error)) {
    return failed("cannot write " + cabinet_path);
  }
  return {};
}

}  // namespace zarn::release
