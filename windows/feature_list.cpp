#include "windows/feature_list.h"

std::vector<Feature*> ProgramFeatures::all() {
    return {&monthlyList,     &yearOverview, &diarySearch, &schedule,      &print,
            &statementImport, &backup,       &sync,        &changeHistory, &budget,
            &textSize,        &lineSearch,   &monthStart,  &report};
}

void ProgramFeatures::install(CommandHost& host) {
    for (Feature* f : all())
        f->install(host);
}

void ProgramFeatures::attach(CommandHost& host) {
    for (Feature* f : all())
        f->attach(host);
}
