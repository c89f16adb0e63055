#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/text_sink.h"
#include "contract/marks.h"
#include "report/summary_json.h"

// The run's page: what one report found, as one self-contained HTML file beside the summary
// (inline style, pictures inline, no script), for a researcher rather than a pipeline.
namespace report {

// Writes a picture's SVG text to the sink it is given.
using PictureRenderer = std::function<void(const base::TextSink&)>;

// What the page shows beyond the summary: where its files are, the limits the mark was given by
// and the pictures. Links are hrefs as written into the page; empty ones are left out.
struct RunPage {
  const Summary& summary;
  contract::MarkLimits limits;
  std::string sdmLink, csvLink, summaryLink;
  // Both empty when the pictures are skipped; then `picturesSkipped` says why.
  PictureRenderer heatmap = {}, designPicture = {};
  std::string picturesSkipped = {};
};

// Writes the page of `page` to `put`: ASCII HTML with CRLF line ends, in this order: the title
// (the SDM's base name) and its counts, the mark and each reason, the settings (the members of
// the summary's "settings"), the contrasts, the pairs with a predictor of interest, the variance
// inflation factors, the skipped events, the notices (repairs made), the pictures and the links.
// Each picture's ids and style rules are given a prefix of its own, so that both live in one
// page. Throws what the renderers or `put` throw.
void writeRunPage(const RunPage& page, const base::TextSink& put);

// The sink that puts SVG text from a renderer inside an HTML page under the element id `id`:
// drops the XML declaration, gives the svg element that id and no more width than its viewBox's
// (it is 100 % wide), prefixes every id and reference to it
// with `id` and "-", and scopes every rule of the picture's style to the element. Lines must end
// in CRLF, as the pictures write them; flush() hands on a last unfinished line.
class InlineSvg {
 public:
  InlineSvg(std::string id, const base::TextSink& put) : id_(std::move(id)), put_(put) {}
  void operator()(std::string_view piece);
  void flush();

 private:
  void line(std::string text);

  std::string id_;
  const base::TextSink& put_;
  std::string pending_;
  bool inStyle_ = false;
  bool opened_ = false;  // the outermost svg element has its id
};

}  // namespace report
