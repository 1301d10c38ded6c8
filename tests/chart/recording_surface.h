// A drawing surface that records every call as text, with fixed text metrics so layouts can be
// asserted to the pixel: an 8-point font is 14 pixels high and 6 wide per character; a font with a
// pixel size p is p + 2 high and p / 2 + 1 wide per character.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "marlix/chart/chart.h"
#include "marlix/chart/surface.h"

namespace marlix::chart::testing {

// Formats with printf rules (string concatenation trips a false GCC 12 warning).
template <typename... Args>
std::string Format(const char* pattern, Args... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, pattern, args...);
    return buf;
}

inline std::string ColorText(TColor c) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%06X", static_cast<unsigned>(c));
    return buf;
}

class RecordingSurface : public TChartSurface {
  public:
    static int CharWidth(const TFont& font) { return font.PixelSize > 0 ? font.PixelSize / 2 + 1 : 6; }
    static int Height(const TFont& font) { return font.PixelSize > 0 ? font.PixelSize + 2 : 14; }

    int TextWidth(const TFont& font, std::string_view text) override {
        return CharWidth(font) * static_cast<int>(text.size());
    }
    int TextHeight(const TFont& font) override { return Height(font); }

    void FillRect(const TRect& r, TColor color) override {
        Add("fill " + RectText(r) + " " + ColorText(color));
    }
    void FrameRect(const TRect& r, const TPen& pen) override {
        Add("frame " + RectText(r) + " " + ColorText(pen.Color));
    }
    void RaisedBevel(const TRect& r) override { Add("bevel " + RectText(r)); }
    void SetPen(const TPen& pen) override { pen_ = pen; }
    void MoveTo(int x, int y) override {
        x_ = x;
        y_ = y;
    }
    void LineTo(int x, int y) override {
        Add(Format("line %d,%d %d,%d %06X%s", x_, y_, x, y, static_cast<unsigned>(pen_.Color),
                   pen_.Style == psDot ? " dot" : ""));
        x_ = x;
        y_ = y;
    }
    void TextOut(int x, int y, std::string_view text, const TFont& font, THorzTextAlign horz,
                 TVertTextAlign vert) override {
        static const char* const kHorz[] = {"left", "center", "right"};
        Add(Format("text %d,%d %s-%s '%.*s' %06X", x, y, kHorz[horz], vert == vtaTop ? "top" : "bottom",
                   static_cast<int>(text.size()), text.data(), static_cast<unsigned>(font.Color)));
    }
    void SetClipRect(const TRect& r) override { Add("clip " + RectText(r)); }
    void RemoveClipRect() override { Add("unclip"); }

    static std::string RectText(const TRect& r) {
        return Format("(%d,%d,%d,%d)", r.Left, r.Top, r.Right, r.Bottom);
    }

    // The recorded calls that start with the prefix, in order.
    std::vector<std::string> With(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : calls)
            if (c.rfind(prefix, 0) == 0) out.push_back(c);
        return out;
    }

    std::vector<std::string> calls;

  private:
    void Add(std::string call) { calls.push_back(std::move(call)); }
    TPen pen_;
    int x_ = 0, y_ = 0;
};

// A host that is always "allocated" and paints owed passes onto a recording surface.
class RecordingHost : public TChartHost {
  public:
    bool HandleAllocated() const override { return allocated; }
    void InvalidateLater() override { ++invalidations; }
    void PaintNow() override {
        ++paints;
        surface = RecordingSurface{};
        chart->PaintChart(surface);
    }

    TChart* chart = nullptr;
    bool allocated = true;
    int invalidations = 0;
    int paints = 0;
    RecordingSurface surface;
};

}  // namespace marlix::chart::testing
