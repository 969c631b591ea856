#include "compiler/database.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "compiler/byte_order.h"
#include "compiler/work_files.h"
#include "driver/report.h"
#include "platform/clock.h"
#include "platform/file.h"
#include "platform/file_access.h"
#include "platform/memory.h"

namespace lexbuild {
namespace {

// The data size is reported as a signed 32-bit count, and every data offset
// must fit its 32 bits.
constexpr size_t kMaxDataTotal = INT32_MAX;

}  // namespace

std::array<uint8_t, format::kDbHeaderSize> make_db_header(std::string_view id, int64_t unix_time,
                                                          uint16_t record_count) {
  std::array<uint8_t, format::kDbHeaderSize> header{};
  // The name field keeps room for its terminating zero.
  const size_t name_length = std::min(id.size(), format::kDbNameSize - 1);
  std::memcpy(header.data() + format::kDbNameOffset, id.data(), name_length);
  put_be16(header.data() + format::kDbAttributesOffset, 0);
  put_be16(header.data() + format::kDbVersionOffset, format::kDbVersion);
  // Both dates are the same value; the sum wraps like the 32-bit field does.
  const uint32_t date = static_cast<uint32_t>(unix_time) + format::kDateOffset;
  put_be32(header.data() + format::kDbCreationDateOffset, date);
  put_be32(header.data() + format::kDbModificationDateOffset, date);
  std::memcpy(header.data() + format::kDbTypeOffset, format::kDbType, 4);
  std::memcpy(header.data() + format::kDbCreatorOffset, format::kDbCreator, 4);
  put_be16(header.data() + format::kDbRecordCountOffset, record_count);
  return header;
}

std::vector<uint8_t> record_list_bytes(std::span<const uint32_t> sizes) {
  std::vector<uint8_t> list(format::kRecordEntrySize * sizes.size() + format::kRecordListGap);
  uint64_t offset = format::kDbHeaderSize + list.size();
  uint8_t* entry = list.data();
  for (const uint32_t size : sizes) {
    if (offset > UINT32_MAX) report_fatal("the database would be larger than 4 GB\n");
    put_be32(entry, static_cast<uint32_t>(offset));  // attributes and unique ID stay 0
    entry += format::kRecordEntrySize;
    offset += size;
  }
  return list;
}

void HeldRecords::hold(std::string name, std::vector<uint8_t> bytes) {
  buffers_.push_back(std::move(bytes));
  records_[std::move(name)] = buffers_.back();
}

void HeldRecords::hold_run(RecordRun run, const std::function<std::string(size_t)>& name_of) {
  runs_.push_back(std::move(run));
  const RecordRun& held = runs_.back();
  for (size_t number = 0; number < held.size(); ++number) records_[name_of(number)] = held[number];
}

std::optional<std::span<const uint8_t>> HeldRecords::find(std::string_view name) const {
  if (const auto it = records_.find(name); it != records_.end()) return it->second;
  return std::nullopt;
}

void HeldRecords::release(std::string_view name) {
  if (const auto it = records_.find(name); it != records_.end()) records_.erase(it);
}

std::vector<std::string> HeldRecords::names() const {
  std::vector<std::string> names;
  names.reserve(records_.size());
  for (const auto& [name, bytes] : records_) names.push_back(name);
  return names;
}

void DatabaseAssembly::append_record(const std::string& name) {
  if (held_ != nullptr) {
    if (const auto held = held_->find(name)) {
      context_.log.write_log("Additition %s file\n", name.c_str());
      if (held->size() > format::kMaxRecordSize) {
        report_fatal("the record %s is %zu bytes long, but a database record holds at most %zu\n",
                     name.c_str(), held->size(), format::kMaxRecordSize);
      }
      append_bytes(*held);
      held_->release(name);  // taken: a second append of the name reads the work folder
      return;
    }
  }
  const std::string path = context_.settings.work_path(name);
  const std::optional<uint64_t> size = platform::file_size(path);
  if (!size) return;  // a record that was not made is left out
  context_.log.write_log("Additition %s file\n", name.c_str());

  // Record sizes are taken in 16 bits: a larger file is refused before it
  // is read, and again should it have grown meanwhile.
  const auto refuse_size = [&path](uint64_t bytes) {
    report_fatal(
        "the record file '%s' is %llu bytes long, but a database record holds at most %zu "
        "bytes: the file it comes from or the dictionary is too large\n",
        path.c_str(), static_cast<unsigned long long>(bytes), format::kMaxRecordSize);
  };
  if (*size > format::kMaxRecordSize) refuse_size(*size);
  std::vector<uint8_t> bytes;
  int error = 0;
  if (!platform::read_file(path, bytes, &error)) {
    report_fatal("could not read the record file '%s': %s\n", path.c_str(),
                 platform::error_text(error).c_str());
  }
  if (bytes.size() > format::kMaxRecordSize) refuse_size(bytes.size());
  if (!context_.settings.debug && !platform::remove_file(path)) {
    context_.log.write_log("Error: %s file wasn't deleted\n", path.c_str());
  }
  // The vector's buffer stays put when read_records_ grows.
  read_records_.push_back(std::move(bytes));
  append_bytes(read_records_.back());
}

DatabaseAssembly::DatabaseAssembly(BuildContext& context, HeldRecords* held)
    : context_(context), held_(held) {}

void DatabaseAssembly::append_bytes(std::span<const uint8_t> bytes) {
  if (records_.size() == format::kMaxRecordCount) {
    report_fatal("the database would hold more than %zu records: the dictionary is too large\n",
                 format::kMaxRecordCount);
  }
  if (data_total_ + bytes.size() > kMaxDataTotal) {
    report_fatal("the database would be larger than 2 GB: the dictionary is too large\n");
  }
  records_.push_back(bytes);
  data_total_ += bytes.size();

  const int total = static_cast<int>(data_total_);
  if (context_.settings.debug) {
    context_.console.print("\r%d byte has been allocated, %ld %% of memory is in use", total,
                           platform::memory_load_percent());
  } else {
    context_.console.print("\r%d byte has been allocated", total);
  }
}

void DatabaseAssembly::append_matching_records(std::string_view pattern) {
  std::vector<std::string> names = platform::list_matching(context_.settings.work_folder, pattern);
  if (held_ != nullptr) {
    const size_t star = pattern.find('*');
    const std::string_view prefix = pattern.substr(0, star);
    const std::string_view suffix =
        star == std::string_view::npos ? std::string_view() : pattern.substr(star + 1);
    for (std::string& name : held_->names()) {
      const bool matches = star == std::string_view::npos
                               ? name == pattern
                               : name.size() >= prefix.size() + suffix.size() &&
                                     name.starts_with(prefix) && name.ends_with(suffix);
      if (matches) names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    names.erase(std::unique(names.begin(), names.end()), names.end());
  }
  for (const std::string& name : names) append_record(name);
}

void DatabaseAssembly::write_database(const std::string& path, std::string_view id,
                                      int64_t unix_time) {
  if (records_.empty()) return;  // no record: no database

  std::vector<uint32_t> sizes;
  sizes.reserve(records_.size());
  for (const auto& record : records_) sizes.push_back(static_cast<uint32_t>(record.size()));
  const auto header = make_db_header(id, unix_time, static_cast<uint16_t>(sizes.size()));
  const std::vector<uint8_t> list = record_list_bytes(sizes);

  platform::ReplacingOutput output;
  if (!output.create(path)) {
    report_fatal("could not create the database '%s': %s\n", path.c_str(),
                 platform::error_text(output.error_code()).c_str());
  }
  // A rebuilt database keeps the permissions the user gave the earlier one.
  if (platform::file_exists(path)) platform::copy_file_mode(path, output.temp_path());
  output.file().write(header.data(), header.size());
  output.file().write(list);
  context_.console.print("\nData size to be written %d byte\n", static_cast<int>(data_total_));
  for (const auto& record : records_) output.file().write(record);
  if (!output.commit()) {
    report_fatal(
        "could not write the database '%s': %s; an earlier file of that name is left as it was\n",
        path.c_str(), platform::error_text(output.error_code()).c_str());
  }
  context_.console.print("%d byte has been successfully written\n", static_cast<int>(data_total_));
}

void assemble_database(BuildContext& context, HeldRecords* held) {
  const Settings& settings = context.settings;
  if (settings.id.size() >= format::kDbNameSize) {
    report_warning(context.console,
                   "the dictionary name '%s' is longer than %zu bytes; the database carries its "
                   "first %zu\n",
                   settings.id.c_str(), format::kDbNameSize - 1, format::kDbNameSize - 1);
  }

  DatabaseAssembly database(context, held);
  database.append_record(kHeaderRecordFile);
  database.append_record(kTableRecordFile);
  database.append_record(kWordsIndexFile);
  database.append_record(kTransIndexFile);
  database.append_matching_records(kWordsRecordPattern);
  database.append_matching_records(kTransRecordPattern);
  database.append_record(kAboutRecordFile);
  database.append_record(kAbbrRecordFile);
  database.append_record(kFontWordsRecordFile);
  database.append_record(kFontTransRecordFile);
  database.append_record(kKbdRecordFile);
  database.write_database(settings.outfile, settings.id, platform::unix_time());
}

}  // namespace lexbuild
