#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lines/line_output.h"
#include "lines/line_pipeline.h"
#include "lines/line_reader.h"
#include "lines/page_survey.h"
#include "passes/run_options.h"

namespace slimtag {

// Every line of reader through the pipeline and the output step, into sink, under the line-end
// rule; line is the run's current line. The page's last terminator ends a joined page.
void OptimiseLines(LineReader& reader, const LinePipeline& pipeline, const OutputOptions& output,
                   LineEndRule rule, JoinState& join, std::string& line, ByteSink& sink);

// One page from a stream to a stream, as a run would rewrite it: for a filter in a pipeline.
void OptimiseStream(ByteSource& in, ByteSink& out, const RunOptions& options,
                    const UserTexts& texts, Encoding encoding, LineEndRule rule);

// A page held whole, as a run would rewrite it, surveyed first under the rule asked for: a page
// to leave as it is gives its reason and is written as it stands.
std::optional<LeftAlone> OptimiseWhole(std::string_view page, ByteSink& out,
                                       const RunOptions& options, const UserTexts& texts,
                                       LineEndRule rule);

}  // namespace slimtag
