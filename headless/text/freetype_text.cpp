// SPDX-License-Identifier: MIT
#include "headless/text/freetype_text.h"

#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include <fribidi.h>
#include <hb-ot.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <tuple>
#include <utility>
#include <vector>

#include "headless/common/freetype_handles.h"
#include "headless/common/harfbuzz_handles.h"
#include "headless/common/interruption.h"
#include "headless/text/text_block.h"
#include "headless/text/utf8.h"

namespace quorvel::headless {
namespace {

constexpr char kDefaultFontDirectory[] = "/usr/share/fonts/truetype/dejavu";

std::string Lowercase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct StyleFlags {
  bool bold = false;
  bool italic = false;
  bool operator==(const StyleFlags& other) const {
    return bold == other.bold && italic == other.italic;
  }
};

// Style words in lower case, one space apart; the regular face's many names become "".
std::string NormalStyleName(const std::string& style) {
  std::istringstream words(Lowercase(style));
  std::string word;
  std::string name;
  while (words >> word) name += (name.empty() ? "" : " ") + word;
  if (name == "regular" || name == "book" || name == "normal" || name == "roman") return "";
  return name;
}

StyleFlags ParseStyle(const std::string& style) {
  StyleFlags flags;
  std::istringstream words(Lowercase(style));
  std::string word;
  while (words >> word) {
    if (word == "bold") flags.bold = true;
    if (word == "italic" || word == "oblique") flags.italic = true;
  }
  return flags;
}

// FreeType's library and faces are not safe to use from two threads at once, and frames
// render on several; everything below runs under this lock, which also guards the caches.
std::mutex& FreeTypeLock() {
  static std::mutex lock;
  return lock;
}

FT_Library Library() {
  static FT_Library library = [] {
    FT_Library created = nullptr;
    if (FT_Init_FreeType(&created) != 0) created = nullptr;
    return created;
  }();
  return library;
}

// Faces stay open for the life of the process: a scene asks for the same one frame after
// frame.
FT_Face OpenFace(const std::string& path) {
  static std::map<std::string, FT_Face> faces;
  const auto found = faces.find(path);
  if (found != faces.end()) return found->second;
  FT_Face opened = nullptr;
  if (Library() == nullptr || FT_New_Face(Library(), path.c_str(), 0, &opened) != 0) {
    opened = nullptr;
  }
  FtFacePtr face(opened);
  if (face != nullptr && (!FT_IS_SCALABLE(face) || face->units_per_EM == 0)) face.reset();
  return faces.emplace(path, face.release()).first->second;
}

std::string FindFontFileLocked(const std::string& directory, const std::string& family,
                               const std::string& style) {
  static std::map<std::tuple<std::string, std::string, bool, bool>, std::string> found_files;
  const StyleFlags wanted = ParseStyle(style);
  const auto key = std::make_tuple(directory, Lowercase(family), wanted.bold, wanted.italic);
  const auto cached = found_files.find(key);
  if (cached != found_files.end()) return cached->second;

  // In name order, so that the same folder always gives the same file.
  std::vector<std::string> candidates;
  std::error_code error;
  for (std::filesystem::directory_iterator entry(directory, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string extension = Lowercase(entry->path().extension().string());
    if (extension == ".ttf" || extension == ".otf") candidates.push_back(entry->path().string());
  }
  std::sort(candidates.begin(), candidates.end());

  // Of the files of the family with the right flags, one whose style name is the style asked
  // for wins (a plain request is for the regular face), so that "ExtraLight" or "Condensed"
  // faces, which carry no flag, are not taken for the regular one.
  const std::string wanted_name = NormalStyleName(style);
  std::string result;
  bool exact = false;
  for (const std::string& candidate : candidates) {
    const FT_Face face = OpenFace(candidate);
    if (face == nullptr || face->family_name == nullptr) continue;
    const StyleFlags flags{(face->style_flags & FT_STYLE_FLAG_BOLD) != 0,
                           (face->style_flags & FT_STYLE_FLAG_ITALIC) != 0};
    if (Lowercase(face->family_name) != std::get<1>(key) || !(flags == wanted)) continue;
    const bool same_name =
        face->style_name != nullptr && NormalStyleName(face->style_name) == wanted_name;
    if (result.empty() || (same_name && !exact)) {
      result = candidate;
      exact = same_name;
    }
  }
  found_files.emplace(key, result);
  return result;
}

// The file a layer's text is drawn from: its own font file, or the one of its family and style
// in the font folder.
std::string FontFileOfLocked(const TextLayer& layer) {
  if (!layer.font_file.empty()) return layer.font_file;
  return FindFontFileLocked(FreeTypeFontDirectory(), layer.font_family, layer.font_style);
}

std::vector<std::vector<char32_t>> SplitLines(const std::u32string& code_points) {
  std::vector<std::vector<char32_t>> lines(1);
  for (const char32_t code_point : code_points) {
    if (code_point == U'\n') {
      lines.emplace_back();
    } else {
      lines.back().push_back(code_point);
    }
  }
  return lines;
}

struct PlacedGlyph {
  FT_UInt index;
  FT_Pos pen_x;     // font units from the line's left end
  FT_Pos offset_y;  // font units up from the baseline
};

struct Line {
  std::vector<PlacedGlyph> glyphs;  // left to right
  FT_Pos width = 0;                 // font units
};

// HarfBuzz's view of a face: it shapes in font units (its default scale is the em), integers
// that are the same on every platform. Kept, as the faces are, for the life of the process.
hb_font_t* ShapingFont(const std::string& path) {
  static std::map<std::string, HbFontPtr> fonts;
  const auto found = fonts.find(path);
  if (found != fonts.end()) return found->second.get();
  const HbBlobPtr blob(hb_blob_create_from_file(path.c_str()));
  const HbFacePtr face(hb_face_create(blob.get(), 0));
  return fonts.emplace(path, HbFontPtr(hb_font_create(face.get()))).first->second.get();
}

// A stretch of a line at one bidirectional embedding level, in logical order.
struct Run {
  size_t start;
  size_t end;
  FriBidiLevel level;
};

// The line's runs in the order they show from left to right: the paragraph's direction is
// `direction`, or with FRIBIDI_PAR_ON that of its first strong character, as pango finds it, and
// runs are reversed from the highest level down to the lowest odd one (rule L2 of the
// bidirectional algorithm).
std::vector<Run> VisualRuns(const std::vector<FriBidiChar>& text,
                            FriBidiParType direction = FRIBIDI_PAR_ON) {
  const auto length = static_cast<FriBidiStrIndex>(text.size());
  std::vector<FriBidiCharType> types(text.size());
  std::vector<FriBidiBracketType> brackets(text.size());
  std::vector<FriBidiLevel> levels(text.size(), 0);
  fribidi_get_bidi_types(text.data(), length, types.data());
  fribidi_get_bracket_types(text.data(), length, types.data(), brackets.data());
  if (fribidi_get_par_embedding_levels_ex(types.data(), brackets.data(), length, &direction,
                                          levels.data()) == 0) {
    std::fill(levels.begin(), levels.end(), FriBidiLevel{0});
  }
  std::vector<Run> runs;
  for (size_t i = 0; i < text.size(); ++i) {
    if (runs.empty() || runs.back().level != levels[i]) runs.push_back({i, i, levels[i]});
    runs.back().end = i + 1;
  }
  FriBidiLevel highest = 0;
  FriBidiLevel lowest_odd = std::numeric_limits<FriBidiLevel>::max();
  for (const Run& run : runs) {
    highest = std::max(highest, run.level);
    if (run.level % 2 == 1) lowest_odd = std::min(lowest_odd, run.level);
  }
  for (FriBidiLevel level = highest; level >= lowest_odd && level > 0; --level) {
    for (size_t i = 0; i < runs.size();) {
      if (runs[i].level < level) {
        ++i;
        continue;
      }
      size_t end = i;
      while (end < runs.size() && runs[end].level >= level) ++end;
      std::reverse(runs.begin() + static_cast<std::ptrdiff_t>(i),
                   runs.begin() + static_cast<std::ptrdiff_t>(end));
      i = end;
    }
  }
  return runs;
}

// Shapes a line with HarfBuzz, run by run in visual order: joined and positioned glyphs,
// right-to-left runs with their glyphs already left to right, as HarfBuzz gives them.
Line ShapeLine(hb_font_t* font, const std::vector<char32_t>& code_points) {
  Line line;
  const std::vector<FriBidiChar> text(code_points.begin(), code_points.end());
  for (const Run& run : VisualRuns(text)) {
    const HbBufferPtr buffer(hb_buffer_create());
    // The whole line goes in as context, so that letters join across a run's ends.
    hb_buffer_add_utf32(buffer.get(), text.data(), static_cast<int>(text.size()),
                        static_cast<unsigned>(run.start), static_cast<int>(run.end - run.start));
    hb_buffer_set_direction(buffer.get(), run.level % 2 == 1 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
    hb_buffer_guess_segment_properties(buffer.get());
    hb_shape(font, buffer.get(), nullptr, 0);
    unsigned count = 0;
    const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer.get(), &count);
    const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer.get(), &count);
    for (unsigned i = 0; i < count; ++i) {
      line.glyphs.push_back(PlacedGlyph{infos[i].codepoint, line.width + positions[i].x_offset,
                                        positions[i].y_offset});
      line.width += positions[i].x_advance;
    }
  }
  return line;
}

// Maps font units of one glyph to layer pixels (y down) and feeds FreeType's contour walk to
// cairo; quadratic pieces become the equal cubic ones.
struct PathSink {
  cairo_t* cairo;
  double origin_x;
  double baseline_y;
  double scale;
  bool open = false;
  double last_x = 0;
  double last_y = 0;

  double X(const FT_Vector* point) const {
    return origin_x + static_cast<double>(point->x) * scale;
  }
  double Y(const FT_Vector* point) const {
    return baseline_y - static_cast<double>(point->y) * scale;
  }
  void Move(double x, double y) {
    if (open) cairo_close_path(cairo);
    cairo_move_to(cairo, x, y);
    open = true;
    last_x = x;
    last_y = y;
  }
  void Line(double x, double y) {
    cairo_line_to(cairo, x, y);
    last_x = x;
    last_y = y;
  }
  void Cubic(double x1, double y1, double x2, double y2, double x3, double y3) {
    cairo_curve_to(cairo, x1, y1, x2, y2, x3, y3);
    last_x = x3;
    last_y = y3;
  }
  void Finish() {
    if (open) cairo_close_path(cairo);
    open = false;
  }
};

PathSink& Sink(void* user) {
  return *static_cast<PathSink*>(user);
}

int MoveTo(const FT_Vector* to, void* user) {
  PathSink& sink = Sink(user);
  sink.Move(sink.X(to), sink.Y(to));
  return 0;
}

int LineTo(const FT_Vector* to, void* user) {
  PathSink& sink = Sink(user);
  sink.Line(sink.X(to), sink.Y(to));
  return 0;
}

int ConicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
  PathSink& sink = Sink(user);
  const double cx = sink.X(control);
  const double cy = sink.Y(control);
  const double x = sink.X(to);
  const double y = sink.Y(to);
  sink.Cubic(sink.last_x + 2.0 / 3.0 * (cx - sink.last_x),
             sink.last_y + 2.0 / 3.0 * (cy - sink.last_y), x + 2.0 / 3.0 * (cx - x),
             y + 2.0 / 3.0 * (cy - y), x, y);
  return 0;
}

int CubicTo(const FT_Vector* control1, const FT_Vector* control2, const FT_Vector* to, void* user) {
  PathSink& sink = Sink(user);
  sink.Cubic(sink.X(control1), sink.Y(control1), sink.X(control2), sink.Y(control2), sink.X(to),
             sink.Y(to));
  return 0;
}

// Adds a glyph's contours to cairo's path, its origin at (x, y), font units scaled to pixels.
void AppendGlyph(cairo_t* cairo, FT_Face face, FT_UInt index, double x, double y, double scale) {
  if (FT_Load_Glyph(face, index, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0 ||
      face->glyph->format != FT_GLYPH_FORMAT_OUTLINE) {
    return;
  }
  const FT_Outline_Funcs walk{MoveTo, LineTo, ConicTo, CubicTo, 0, 0};
  PathSink sink{cairo, x, y, scale};
  FT_Outline_Decompose(&face->glyph->outline, &walk, &sink);
  sink.Finish();
}

// A font of a styled run: the face, HarfBuzz's view of it (in font units), and pixels per font
// unit at the run's size.
struct RunFont {
  FT_Face face = nullptr;
  hb_font_t* shaping = nullptr;
  double scale = 0;
};

// A run's glyphs, placed in pixels from the line's left end, and the run's extent there.
struct ShapedRun {
  TextStyle style;
  RunFont font;
  std::vector<PlacedGlyph> glyphs;  // pen_x and offset_y in font units, from `left`
  double left = 0;
  double right = 0;
  std::vector<std::pair<size_t, double>> clusters;  // each glyph's code point and advance
};

class FreeTypeShapedLine : public ShapedLine {
 public:
  std::vector<ShapedRun> runs;  // left to right

  void AppendPath(cairo_t* cairo, double x, double baseline,
                  const RunDrawn& run_drawn) const override {
    for (const ShapedRun& run : runs) {
      if (run.style.phantom) {
        run_drawn(run.style, {});
        continue;
      }
      const FT_Face face = run.font.face;
      for (const PlacedGlyph& glyph : run.glyphs) {
        AppendGlyph(cairo, face, glyph.index,
                    x + run.left + static_cast<double>(glyph.pen_x) * run.font.scale,
                    baseline - static_cast<double>(glyph.offset_y) * run.font.scale,
                    run.font.scale);
      }
      std::vector<DecorationRectangle> decorations;
      const auto add = [&](hb_ot_metrics_tag_t offset_tag, hb_ot_metrics_tag_t size_tag) {
        hb_position_t offset = 0;
        hb_position_t thickness = 0;
        hb_ot_metrics_get_position_with_fallback(run.font.shaping, offset_tag, &offset);
        hb_ot_metrics_get_position_with_fallback(run.font.shaping, size_tag, &thickness);
        decorations.push_back(Decoration(x + run.left, x + run.right, baseline,
                                         static_cast<double>(offset) * run.font.scale,
                                         static_cast<double>(thickness) * run.font.scale));
      };
      if (run.style.underline) {
        add(HB_OT_METRICS_TAG_UNDERLINE_OFFSET, HB_OT_METRICS_TAG_UNDERLINE_SIZE);
      }
      if (run.style.strikethrough) {
        add(HB_OT_METRICS_TAG_STRIKEOUT_OFFSET, HB_OT_METRICS_TAG_STRIKEOUT_SIZE);
      }
      run_drawn(run.style, decorations);
    }
  }
};

std::string StyleWords(StyleFlags flags) {
  if (flags.bold && flags.italic) return "Bold Italic";
  if (flags.bold) return "Bold";
  return flags.italic ? "Italic" : "";
}

// Styled runs laid out with the fonts of the font folder, under FreeTypeLock().
class FreeTypeShaper : public TextShaper {
 public:
  explicit FreeTypeShaper(const TextLayer& layer) : layer_(layer) {}

  std::vector<double> Advances(const StyledText& paragraph, bool right_to_left) override {
    std::vector<double> advances(paragraph.text.size(), 0.0);
    const std::unique_ptr<FreeTypeShapedLine> line = ShapeRuns(paragraph, right_to_left);
    if (line == nullptr) return advances;
    for (const ShapedRun& run : line->runs) {
      for (const auto& [cluster, advance] : run.clusters) {
        if (cluster < advances.size()) advances[cluster] += advance;
      }
    }
    return advances;
  }

  std::unique_ptr<ShapedLine> Shape(const BlockLine& line) override {
    return ShapeRuns(line.text, line.right_to_left);
  }

 private:
  // The file of a style's family and faces: the layer's own file for its own family and style;
  // otherwise the family's file in the font folder with the bold and italic flags asked for.
  // Nothing is synthesised: without such a file, the family's face with fewer of the flags is
  // taken (italic dropped first, then bold), and without the family the layer's own font, so
  // that the run is drawn upright or regular where pango would slant or embolden it.
  std::string FontFile(const TextStyle& style) {
    if (style.family.empty() && !style.bold && !style.italic) return FontFileOfLocked(layer_);
    const std::string family = style.family.empty() ? layer_.font_family : style.family;
    StyleFlags wanted = ParseStyle(layer_.font_style);
    wanted.bold = wanted.bold || style.bold;
    wanted.italic = wanted.italic || style.italic;
    const StyleFlags ladder[] = {wanted, {wanted.bold, false}, {false, wanted.italic}, {}};
    for (const StyleFlags& flags : ladder) {
      std::string path = FindFontFileLocked(FreeTypeFontDirectory(), family, StyleWords(flags));
      if (!path.empty()) return path;
    }
    return FontFileOfLocked(layer_);
  }

  std::optional<RunFont> FontOf(const TextStyle& style) {
    const std::string path = FontFile(style);
    const FT_Face face = path.empty() ? nullptr : OpenFace(path);
    if (face == nullptr) return std::nullopt;
    const double size = style.size > 0 ? style.size : layer_.font_size;
    return RunFont{face, ShapingFont(path), size / static_cast<double>(face->units_per_EM)};
  }

  // Shapes each stretch of one bidirectional level and one style with HarfBuzz, in visual
  // order; the line's height is that of its tallest and deepest fonts (HarfBuzz's ascender and
  // descender, as pango takes them), and an empty line has that of the style where it stands.
  std::unique_ptr<FreeTypeShapedLine> ShapeRuns(const StyledText& line, bool right_to_left) {
    auto shaped = std::make_unique<FreeTypeShapedLine>();
    const std::vector<FriBidiChar> text(line.text.begin(), line.text.end());
    double pen = 0;
    const auto extend = [&shaped](const RunFont& font) {
      hb_font_extents_t extents{};
      hb_font_get_h_extents(font.shaping, &extents);
      shaped->ascent = std::max(shaped->ascent, static_cast<double>(extents.ascender) * font.scale);
      shaped->descent =
          std::max(shaped->descent, -static_cast<double>(extents.descender) * font.scale);
    };
    for (const Run& level_run :
         VisualRuns(text, right_to_left ? FRIBIDI_PAR_RTL : FRIBIDI_PAR_LTR)) {
      std::vector<StyledRun> pieces;
      for (const StyledRun& run : line.runs) {
        const size_t start = std::max(run.start, level_run.start);
        const size_t end = std::min(run.end, level_run.end);
        if (start < end) pieces.push_back(StyledRun{start, end, run.style});
      }
      if (level_run.level % 2 == 1) std::reverse(pieces.begin(), pieces.end());
      for (const StyledRun& piece : pieces) {
        const std::optional<RunFont> font = FontOf(piece.style);
        if (!font) return nullptr;
        extend(*font);
        const HbBufferPtr buffer(hb_buffer_create());
        hb_buffer_add_utf32(buffer.get(), text.data(), static_cast<int>(text.size()),
                            static_cast<unsigned>(piece.start),
                            static_cast<int>(piece.end - piece.start));
        hb_buffer_set_direction(buffer.get(),
                                level_run.level % 2 == 1 ? HB_DIRECTION_RTL : HB_DIRECTION_LTR);
        hb_buffer_guess_segment_properties(buffer.get());
        hb_shape(font->shaping, buffer.get(), nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* infos = hb_buffer_get_glyph_infos(buffer.get(), &count);
        const hb_glyph_position_t* positions = hb_buffer_get_glyph_positions(buffer.get(), &count);
        ShapedRun run{piece.style, *font, {}, pen, pen, {}};
        FT_Pos advance = 0;
        for (unsigned i = 0; i < count; ++i) {
          run.glyphs.push_back(PlacedGlyph{infos[i].codepoint, advance + positions[i].x_offset,
                                           positions[i].y_offset});
          advance += positions[i].x_advance;
          run.clusters.emplace_back(infos[i].cluster,
                                    static_cast<double>(positions[i].x_advance) * font->scale);
        }
        pen += static_cast<double>(advance) * font->scale;
        run.right = pen;
        shaped->runs.push_back(std::move(run));
      }
    }
    if (shaped->runs.empty()) {
      const std::optional<RunFont> font = FontOf(StyleAt(line, 0));
      if (!font) return nullptr;
      extend(*font);
    }
    shaped->width = pen;
    return shaped;
  }

  const TextLayer& layer_;
};

}  // namespace

TextBackend ActiveTextBackend() {
  const char* chosen = std::getenv("QUORVEL_TEXT_BACKEND");
#if QUORVEL_HAVE_PANGO
  if (chosen != nullptr && std::string(chosen) == "freetype") return TextBackend::kFreeType;
  return TextBackend::kPango;
#else
  static_cast<void>(chosen);
  return TextBackend::kFreeType;
#endif
}

std::string FreeTypeFontDirectory() {
  const char* directory = std::getenv("QUORVEL_FONT_DIR");
  return directory != nullptr && directory[0] != '\0' ? directory : kDefaultFontDirectory;
}

std::string FindFontFile(const std::string& directory, const std::string& family,
                         const std::string& style) {
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  return FindFontFileLocked(directory, family, style);
}

bool FreeTypeFaceNames(const std::string& path, std::string& family, std::string& style) {
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  const FT_Face face = OpenFace(path);
  if (face == nullptr || face->family_name == nullptr) return false;
  family = face->family_name;
  style = face->style_name != nullptr ? face->style_name : "";
  return true;
}

std::vector<char32_t> FreeTypeMissingCharacters(const TextLayer& layer, const std::string& text) {
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  const std::string path = FontFileOfLocked(layer);
  const FT_Face face = path.empty() ? nullptr : OpenFace(path);
  std::vector<char32_t> missing;
  for (const char32_t code_point : DecodeUtf8(text)) {
    if (code_point == U'\n' || (face != nullptr && FT_Get_Char_Index(face, code_point) != 0)) {
      continue;
    }
    if (std::find(missing.begin(), missing.end(), code_point) == missing.end()) {
      missing.push_back(code_point);
    }
  }
  return missing;
}

bool AppendFreeTypeTextPath(cairo_t* cairo, const TextLayer& layer, const std::string& text,
                            Point2 position, const std::function<void()>& end_of_line) {
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  const std::string path = FontFileOfLocked(layer);
  if (path.empty()) return false;
  const FT_Face face = OpenFace(path);
  if (face == nullptr) return false;

  hb_font_t* const shaping = ShapingFont(path);
  std::vector<Line> lines;
  FT_Pos box_width = 0;
  for (const std::vector<char32_t>& code_points : SplitLines(DecodeUtf8(text))) {
    lines.push_back(ShapeLine(shaping, code_points));
    box_width = std::max(box_width, lines.back().width);
  }

  const double scale = layer.font_size / static_cast<double>(face->units_per_EM);
  const double box_height =
      static_cast<double>(lines.size()) * static_cast<double>(face->height) * scale;
  const Point2 origin{position.x - layer.anchor.x * static_cast<double>(box_width) * scale,
                      position.y - layer.anchor.y * box_height};
  for (std::size_t row = 0; row < lines.size(); ++row) {
    if (InterruptionRequested()) break;
    const Line& line = lines[row];
    const double line_x =
        origin.x +
        AlignmentOffset(layer.alignment, static_cast<double>(box_width - line.width)) * scale;
    const double baseline_y =
        origin.y + (static_cast<double>(face->ascender) +
                    static_cast<double>(row) * static_cast<double>(face->height)) *
                       scale;
    for (const PlacedGlyph& glyph : line.glyphs) {
      AppendGlyph(cairo, face, glyph.index, line_x + static_cast<double>(glyph.pen_x) * scale,
                  baseline_y - static_cast<double>(glyph.offset_y) * scale, scale);
    }
    if (end_of_line) end_of_line();
  }
  return true;
}

void WithFreeTypeShaper(const TextLayer& layer, const std::function<void(TextShaper&)>& use) {
  std::lock_guard<std::mutex> lock(FreeTypeLock());
  FreeTypeShaper shaper(layer);
  use(shaper);
}

}  // namespace quorvel::headless
