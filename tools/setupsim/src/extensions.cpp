// Directives, steps and summaries that other parts of Setup add to the scenario language.
// Each part keeps its vocabulary in a file of its own and adds one call here, for example
//     void AddDetectionVocabulary(Registry& registry);   // detection_directives.cpp
//     AddDetectionVocabulary(registry);
// (an explicit list: registrations in a static library are not linked unless referenced).
#include "setupsim/scenario.h"

namespace setupsim {

void AddDetectionVocabulary(Registry& registry);    // detect_directives.cpp
void AddUnattendedVocabulary(Registry& registry);   // unattended_directives.cpp

void AddExtensions(Registry& registry) {
    AddDetectionVocabulary(registry);
    AddUnattendedVocabulary(registry);
}

}  // namespace setupsim
