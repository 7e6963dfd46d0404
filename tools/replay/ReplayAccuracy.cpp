// vrnrcvr-replay's accuracy analysis; see the header.
#include "ReplayAccuracy.h"

#include <memory>

#include "link/Notifications.h"
#include "protocol/CData.h"

namespace replay
{
using namespace vrn::analysis;

AccuracyTap::AccuracyTap(vrn::IChunkSink& inner, const Options& options)
    : m_inner(inner),
      m_receiver(options.port == 0 ? SourceId::Receiver1 : SourceId::Receiver2),
      m_testMode(vrn::RunsOwnFix(options.mode)),
      m_workbench(kUnbounded)
{
    m_sources.push_back(m_receiver);
    if (m_testMode)
        m_sources.push_back(SourceId::Own);
}

bool AccuracyTap::UseReference(const Options& options, std::string& error)
{
    ReferenceChoice choice;
    if (options.haveReference)
    {
        choice.kind = ReferenceKind::Position;
        choice.latitudeDeg = options.referenceLatitudeDeg;
        choice.longitudeDeg = options.referenceLongitudeDeg;
        choice.heightM = options.referenceHeightM;
    }
    else if (!options.truthFile.empty())
    {
        auto truth = CTruthTable::Load(options.truthFile, error);
        if (!truth)
            return false;
        choice.kind = ReferenceKind::Truth;
        m_workbench.SetTruth(std::make_shared<const CTruthTable>(std::move(*truth)));
    }
    m_workbench.SetReference(choice);
    return true;
}

void AccuracyTap::NotifyViews(unsigned message, unsigned wParam, const CData& set)
{
    m_inner.NotifyViews(message, wParam, set);
    if (m_testMode && message == vrn::kMsgBinaryData && wParam == vrn::kSourcePort2)
    {
        // The own set: its four messages close a navigation epoch; the last is the MEAS one.
        if (set.currentId == kIdMeas)
            m_workbench.AddEpoch(SourceId::Own, CEpochBuilder::FromFix(set.fix));
        return;
    }
    OfferReceiverFix(set);
}

void AccuracyTap::FixReported(const CData& set)
{
    OfferReceiverFix(set);
}

void AccuracyTap::OfferReceiverFix(const CData& set)
{
    const ReceiverFix* fix = m_binaryFix.Offer(set);
    if (fix == nullptr)
        return;
    if (auto epoch = m_builder.Offer(*fix))
        m_workbench.AddEpoch(m_receiver, *epoch);
}

void AccuracyTap::Finish()
{
    if (auto epoch = m_builder.Flush())
        m_workbench.AddEpoch(m_receiver, *epoch);
    m_workbench.Settle();
}

std::string AccuracyTap::TableLines() const
{
    std::string text;
    for (const SourceId source : m_sources)
    {
        text += FormatTableLine(SourceName(source), m_workbench.Table(source));
        text += '\n';
    }
    return text;
}
}  // namespace replay
