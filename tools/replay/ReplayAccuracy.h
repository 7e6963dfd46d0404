// vrnrcvr-replay's accuracy analysis: a chunk sink in front of the replay's own that turns the
// record sets' fix reports into the epochs of the workbench (the port's receiver and, in test mode,
// the own fix, one epoch per navigation epoch), then prints the table or writes the GPX tracks.
#pragma once

#include <string>
#include <vector>

#include "Replay.h"
#include "analysis/AccuracyWorkbench.h"
#include "analysis/BinaryFix.h"
#include "app/CoreServices.h"
#include "link/ChunkParser.h"

namespace replay
{
class AccuracyTap : public vrn::IChunkSink, public vrn::IFixSink
{
public:
    // Passes everything on to `inner`. The workbench keeps every epoch of the stream.
    AccuracyTap(vrn::IChunkSink& inner, const Options& options);

    void Activity(unsigned code) override { m_inner.Activity(code); }
    void NotifyViews(unsigned message, unsigned wParam, const CData& set) override;
    // Every position report of the receiver (an NMEA position sentence, a NAV record), so that the
    // reports of one epoch that follow the views' notification (GSA, RMC) refine its epoch too.
    void FixReported(const CData& set) override;

    // Sets the reference of the options; false and a reason when the truth file cannot be read.
    bool UseReference(const Options& options, std::string& error);
    // The end of the stream: the epoch being built is completed and every table settled.
    void Finish();

    [[nodiscard]] const vrn::analysis::CAccuracyWorkbench& Workbench() const { return m_workbench; }
    // The sources of the stream, in output order.
    [[nodiscard]] const std::vector<vrn::analysis::SourceId>& Sources() const { return m_sources; }
    // One FormatTableLine per source, each with a line feed.
    [[nodiscard]] std::string TableLines() const;

private:
    void OfferReceiverFix(const CData& set);

    vrn::IChunkSink& m_inner;
    vrn::analysis::SourceId m_receiver;
    bool m_testMode;  // the stream runs the own navigation (test, ubx with --own-fix)
    vrn::analysis::CBinaryFixFallback m_binaryFix;
    vrn::analysis::CEpochBuilder m_builder;
    vrn::analysis::CAccuracyWorkbench m_workbench;
    std::vector<vrn::analysis::SourceId> m_sources;
};
}  // namespace replay
