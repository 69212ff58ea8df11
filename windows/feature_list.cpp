#include "windows/feature_list.h"

std::vector<Feature*> ProgramFeatures::all() {
    return {&yearOverview, &diarySearch,   &schedule, &print,     &statementImport,
            &backup,       &changeHistory, &budget,   &lineSearch};
}

void ProgramFeatures::install(CommandHost& host) {
    for (Feature* f : all())
        f->install(host);
}

void ProgramFeatures::attach(CommandHost& host) {
    for (Feature* f : all())
        f->attach(host);
}
