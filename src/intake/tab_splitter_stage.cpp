// The splitter stage's file handling: how the current list is read into the
// splitter, and where its lines go.
#include <array>
#include <optional>

#include "compiler/format.h"
#include "driver/report.h"
#include "intake/tab_splitter.h"
#include "intake/text_blocks.h"
#include "intake/utf8_source.h"

namespace lexbuild {
namespace {

constexpr std::array<uint8_t, 2> kLineEnd = {0x0D, 0x0A};
constexpr size_t kHeldSlack = size_t{1} << 16;

// Where the splitter's lines go, each with a CR LF: the stage file, memory,
// or nowhere when the stage only checks.
class LineSink {
 public:
  LineSink(platform::OutputFile* file, std::vector<uint8_t>* memory)
      : file_(file), memory_(memory) {}
  bool active() const { return file_ != nullptr || memory_ != nullptr; }
  void line(std::span<const uint8_t> text) {
    if (file_ != nullptr) {
      file_->write(text);
      file_->write(kLineEnd);
    } else if (memory_ != nullptr) {
      memory_->insert(memory_->end(), text.begin(), text.end());
      memory_->insert(memory_->end(), kLineEnd.begin(), kLineEnd.end());
    }
  }

 private:
  platform::OutputFile* file_;
  std::vector<uint8_t>* memory_;
};

}  // namespace

// A CR kept inside a line would split the entry there, since the compiler
// ends a line at every CR, and one at the start of a line would end the whole
// list: so a lone CR ends a line too. The characters between line ends go to
// the splitter as runs.
void feed_8bit_text(platform::InputFile& file, TabSplitter<uint8_t>& splitter, size_t block_size) {
  TextBlocks blocks(file, block_size);
  std::vector<uint8_t> text;
  bool cr_held = false;  // a CR that ended the last block
  while (blocks.next(text)) {
    const size_t n = text.size();
    size_t i = 0;
    if (cr_held && n > 0) {
      cr_held = false;
      if (text[0] != '\n') splitter.line_end();
    }
    while (i < n) {
      size_t j = i;
      while (j < n && text[j] != '\n' && text[j] != '\r') ++j;
      if (j > i) splitter.put_run(std::span<const uint8_t>(text).subspan(i, j - i));
      if (j == n) break;
      // A CR at the end of the block waits for the next one; a CR LF pair
      // ends its line at the LF.
      if (text[j] == '\r' && j + 1 == n) {
        cr_held = true;
      } else if (text[j] == '\n' || text[j + 1] != '\n') {
        splitter.line_end();
      }
      i = j + 1;
    }
  }
  if (cr_held) splitter.line_end();
  splitter.finish();
}

namespace {

// A list that is already 16-bit: UTF-16LE units. A line ends at the unit
// 0x0A0D (the list's own line end), at 0x000D 0x000A or at a lone 0x000A (as
// text editors save UTF-16); a leading byte-order mark is dropped. An odd
// byte at the very end is no unit and is ignored.
void feed_16bit(platform::InputFile& file, TabSplitter<char16_t>& splitter) {
  auto next_unit = [&file]() -> int {
    const int low = file.get();
    if (low < 0) return -1;
    const int high = file.get();
    if (high < 0) return -1;
    return low | (high << 8);
  };
  int unit = next_unit();
  if (unit == 0xFEFF) unit = next_unit();
  while (unit >= 0) {
    int next = next_unit();
    if (unit == 0x0A0D || unit == 0x000A) {
      splitter.line_end();
    } else if (unit == 0x000D && next == 0x000A) {
      splitter.line_end();
      next = next_unit();
    } else {
      splitter.put(static_cast<char16_t>(unit));
    }
    unit = next;
  }
  splitter.finish();
}

}  // namespace

int csv_cut_out(BuildContext& context, CurrentList& list, bool keep_copy,
                const SourceLocale* utf8_locale) {
  const Settings& settings = context.settings;
  const bool cut = settings.cutlong != 0;
  // A UTF-8 list becomes the dictionary's encoding as it is read.
  const bool sixteen_bit =
      settings.unicode != 0 && (settings.to_unicode == 0 || list.is_utf16() || utf8_locale);
  const SplitLimits limits = split_limits(settings.unicode);
  const SplitMode mode = cut ? SplitMode::kCut : SplitMode::kCheck;
  std::optional<Utf8LineConverter> utf8;
  if (utf8_locale) {
    utf8.emplace(*utf8_locale, sixteen_bit ? ListTarget::kUtf16 : ListTarget::kCodePage,
                 source_name_for_messages(context), settings.source_language);
  }

  platform::InputFile input;
  open_list(input, list.path());
  std::optional<StageFile> output;
  if (cut || keep_copy || utf8) output.emplace(context, "csv_cut_out");
  // Lines the sort takes next stay in memory; its stage file, created above
  // to hold the name, is written by the sort.
  std::optional<std::vector<uint8_t>> held;
  if (output && list.may_hold()) {
    held.emplace();
    const uint64_t size = platform::file_size(list.path()).value_or(0);
    // Room for every line end to become CR LF, or every byte a UTF-16 unit,
    // and for both when the 8-bit lines are converted to UTF-16 where they
    // lie: memory reserved and never written costs nothing.
    const uint64_t growth = settings.to_unicode != 0 && !sixteen_bit ? 4 : 2;
    held->reserve(static_cast<size_t>(growth * size + kHeldSlack));
  }
  LineSink sink(output && !held ? &output->out() : nullptr, held ? &*held : nullptr);

  try {
    if (sixteen_bit) {
      std::vector<uint8_t> bytes;
      TabSplitter<char16_t> splitter(limits, mode, context.console,
                                     [&](std::span<const char16_t> line) {
                                       if (!sink.active()) return;
                                       bytes.clear();
                                       for (char16_t u : line) {
                                         bytes.push_back(static_cast<uint8_t>(u & 0xFF));
                                         bytes.push_back(static_cast<uint8_t>(u >> 8));
                                       }
                                       sink.line(bytes);
                                     });
      splitter.limit_entries(format::kMaxEntries, source_name_for_messages(context));
      splitter.map_lines(&context.source_lines);
      if (utf8) {
        feed_utf8(input, *utf8, splitter);
      } else {
        feed_16bit(input, splitter);
      }
      context.changes += splitter.changes();
    } else {
      TabSplitter<uint8_t> splitter(limits, mode, context.console,
                                    [&](std::span<const uint8_t> line) { sink.line(line); });
      splitter.limit_entries(format::kMaxEntries, source_name_for_messages(context));
      splitter.map_lines(&context.source_lines);
      if (utf8) {
        feed_utf8(input, *utf8, splitter);
      } else {
        feed_8bit_text(input, splitter);
      }
      context.changes += splitter.changes();
    }
  } catch (const FatalError&) {
    if (mode == SplitMode::kCheck || utf8) {
      // A failed check, or a refused UTF-8 list, leaves nothing behind:
      // neither its partial copy nor a stage file it was checking. The
      // user's source is never deleted.
      input.close();
      if (output) output->discard();
      list.remove();
    }
    throw;
  }
  check_read(input, list.path());
  input.close();

  if (output) {
    output->close();
    list.replace(output->path());
    if (held) list.hold(std::move(*held));
    if (utf8 && sixteen_bit) list.mark_utf16();
  }
  return 1;
}

}  // namespace lexbuild
