#include "run/FileRecheck.h"

#include "engine/Lumiva.h"
#include "engine/UnicodeForms.h"
#include "run/ConvertError.h"
#include "run/FileConverter.h"

TFileOutcome RecheckFile(TLumiva& Converter, const std::string& Source, const std::string& Encoding,
                         const TConvertOptions& Options, const TConvertSpecs& Specs,
                         const std::function<bool()>& Stop)
{
    TFileOutcome Outcome;
    Outcome.Source = Source;
    Outcome.Name = Source;
    Outcome.Size = FileSizeOf(Source);
    Outcome.Encoding = Encoding;
    try {
        std::string Target;
        std::string Signature;
        ResolveTargetEncoding(Options.ToEncoding, Specs.Utf8, Specs.Utf16, Specs.Utf32, Target, Signature);
        TFileConverter pipeline(Converter, Encoding, Target, Options.Translation, Options.BufferSize, Signature);
        if (Stop)
            pipeline.OnRead = [&Stop](std::uint64_t, std::uint64_t) {
                if (Stop())
                    throw Exception("Stopped");
            };
        pipeline.CheckFile(Source);
        TStringList Groups;
        Converter.GetGroups(Groups);
        Outcome.Kind = ReadsAsTarget(Groups, Encoding, Options.ToEncoding, Target, Signature, Source)
                           ? TOutcomeKind::AlreadyInTarget
                           : TOutcomeKind::Ok;
        Outcome.Text = OutcomeText(Outcome.Kind);
    } catch (const EConvertError& E) {
        DescribeFailure(E, Outcome);
    } catch (const std::exception& E) {
        Outcome.Kind = TOutcomeKind::Failed;
        Outcome.Text = E.what();
    }
    return Outcome;
}
