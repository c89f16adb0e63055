#pragma once

// The summary file of a report (docs/summary-json.md): its version and the names of its fields,
// written once for the plug-in, which writes it, and brindle-bids, which reads it.
namespace contract {

// The version the summary file carries; a reader refuses one it does not know.
inline constexpr int summaryVersion = 3;

// How the summary writes a number that is infinite (a variance inflation factor, a condition
// number): as this string. A number that is not a number at all is written as null.
inline constexpr char infiniteNumber[] = "inf";

namespace summary {
inline constexpr char version[] = "version";
inline constexpr char file[] = "file";
inline constexpr char nrOfPredictors[] = "nrOfPredictors";
inline constexpr char nrOfDataPoints[] = "nrOfDataPoints";
inline constexpr char firstConfoundPredictor[] = "firstConfoundPredictor";
inline constexpr char predictors[] = "predictors";  // each: name, role, kind, mean, sd, vif
inline constexpr char name[] = "name";
inline constexpr char role[] = "role";
inline constexpr char kind[] = "kind";
inline constexpr char mean[] = "mean";
inline constexpr char sd[] = "sd";
inline constexpr char vif[] = "vif";
inline constexpr char correlations[] = "correlations";
inline constexpr char threshold[] = "threshold";
inline constexpr char pairs[] = "pairs";          // each: first, second, r
inline constexpr char pairCount[] = "pairCount";  // every pair at or above the threshold
// Why "correlations" is empty: more predictors than a summary holds the correlations of.
inline constexpr char correlationsSkipped[] = "correlationsSkipped";
inline constexpr char first[] = "first";
inline constexpr char second[] = "second";
inline constexpr char r[] = "r";
inline constexpr char conditionNumber[] = "conditionNumber";
inline constexpr char diagnosticsSkipped[] = "diagnosticsSkipped";
inline constexpr char dependencies[] = "dependencies";
inline constexpr char notices[] = "notices";  // each: kind, file, text
inline constexpr char text[] = "text";
inline constexpr char scrubbedVolumes[] = "scrubbedVolumes";
inline constexpr char meanFramewiseDisplacement[] = "meanFramewiseDisplacement";
// each: name, test, weights, estimable, variance, efficiency, confoundCost, reason
inline constexpr char contrasts[] = "contrasts";
inline constexpr char test[] = "test";        // "t" or "F"
inline constexpr char weights[] = "weights";  // one object a row: predictor name -> weight
inline constexpr char estimable[] = "estimable";
inline constexpr char variance[] = "variance";
inline constexpr char efficiency[] = "efficiency";
inline constexpr char confoundCost[] = "confoundCost";
inline constexpr char reason[] = "reason";
inline constexpr char mark[] = "mark";                    // contract/marks.h: markWord
inline constexpr char reasons[] = "reasons";              // the mark's reasons, in words
inline constexpr char skippedEvents[] = "skippedEvents";  // each: reason, count, lines
inline constexpr char count[] = "count";
inline constexpr char lines[] = "lines";
inline constexpr char settings[] = "settings";  // the "provenance" parameter's object
}  // namespace summary

// The members of "settings" that brindle-bids writes for a run and reads back at the group level.
namespace settings {
inline constexpr char repetitionTime[] = "RepetitionTime";
inline constexpr char repetitionTimeSource[] = "RepetitionTimeSource";
inline constexpr char sliceTimingReference[] = "SliceTimingReference";
inline constexpr char sliceTimingReferenceSource[] = "SliceTimingReferenceSource";
inline constexpr char hrf[] = "HRF";
inline constexpr char conditionColumn[] = "ConditionColumn";
inline constexpr char conditions[] = "Conditions";
inline constexpr char confoundTerms[] = "ConfoundTerms";
inline constexpr char highPassCutoff[] = "HighPassCutoff";
inline constexpr char events[] = "Events";
inline constexpr char confounds[] = "Confounds";
inline constexpr char image[] = "Image";
inline constexpr char designOnly[] = "DesignOnly";
inline constexpr char brindleVersion[] = "BrindleVersion";
inline constexpr char commands[] = "Commands";
}  // namespace settings

// The words of a notice's kind, and of a predictor's role.
inline constexpr char warningNotice[] = "warning";
inline constexpr char noteNotice[] = "note";
inline constexpr char interestRole[] = "interest";

// The words of a contrast's test.
inline constexpr char tTest[] = "t";
inline constexpr char fTest[] = "F";

}  // namespace contract
