#pragma once

#include <string>
#include <string_view>

#include "line_output.h"
#include "line_pipeline.h"
#include "line_reader.h"
#include "run_options.h"

namespace slimtag {

// Every line of reader through the pipeline and the output step, into sink, under the line-end
// rule; line is the run's current line. The page's last terminator ends a joined page.
void OptimiseLines(LineReader& reader, const LinePipeline& pipeline, const OutputOptions& output,
                   LineEndRule rule, JoinState& join, std::string& line, ByteSink& sink);

// One page from a stream to a stream, as a run would rewrite it: for a filter in a pipeline.
void OptimiseStream(ByteSource& in, ByteSink& out, const RunOptions& options,
                    const UserTexts& texts, Encoding encoding, LineEndRule rule);

}  // namespace slimtag
