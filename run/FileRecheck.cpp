#include "run/FileRecheck.h"

#include "engine/Lumiva.h"
#include "engine/UnicodeForms.h"
#include "run/ConvertError.h"
#include "run/FileConverter.h"

TFileOutcome RecheckFile(TLumiva& Converter, const std::string& Source, const std::string& Encoding,
                         const TConvertOptions& Options, const TConvertSpecs& Specs,
                         const std::function<bool()>& Stop)
{
    TFileOutcome outcome;
    outcome.Source = Source;
    outcome.Name = Source;
    outcome.Size = FileSizeOf(Source);
    outcome.Encoding = Encoding;
    try {
        std::string target;
        std::string signature;
        ResolveTargetEncoding(Options.ToEncoding, Specs.Utf8, Specs.Utf16, Specs.Utf32, target, signature);
        TFileConverter pipeline(Converter, Encoding, target, Options.Translation, Options.BufferSize, signature);
        if (Stop)
            pipeline.OnRead = [&Stop](std::uint64_t, std::uint64_t) {
                if (Stop())
                    throw Exception("Stopped");
            };
        pipeline.CheckFile(Source);
        TStringList groups;
        Converter.GetGroups(groups);
        outcome.Kind = ReadsAsTarget(groups, Encoding, Options.ToEncoding, target, signature, Source)
                           ? TOutcomeKind::AlreadyInTarget
                           : TOutcomeKind::Ok;
        outcome.Text = OutcomeText(outcome.Kind);
    } catch (const EConvertError& e) {
        DescribeFailure(e, outcome);
    } catch (const std::exception& e) {
        outcome.Kind = TOutcomeKind::Failed;
        outcome.Text = e.what();
    }
    return outcome;
}
