#include "outside/URunEnd.h"

#include "engine/UHTMLList.h"
#include "settings/Uenviron.h"

void SortPageList(int& selected) { FileList.Sort(EnvSettings.SortType, EnvSettings.SortAscending, selected); }

void SortPageParts(THTMLFileInfo& page, int& selected) {
    switch (EnvSettings.SortType) {
        case SortBySize:
        case SortByImageCount:
            page.Items.Sort(SortBySize, EnvSettings.SortAscending, selected);
            break;
        case SortByName:
            page.Items.Sort(SortByName, EnvSettings.SortAscending, selected);
            break;
        default:
            break;
    }
}

TRunEnd FinishRun(const std::string& namedPage, bool itemFile) {
    TRunEnd end;
    if (EnvSettings.WlsEnabled && itemFile) end.ItemFile = UpdateWlsFile(EnvSettings.WlsFileName);
    else end.ItemFile.Outcome = TWlsOutcome::NotEnabled;
    int selected = -1;
    SortPageList(selected);
    for (int i = 0; i < FileList.Count(); ++i) {
        PrefetchAhead(FileList, i, false);
        if (FileList[i]->FileName != namedPage) continue;
        end.NamedPage = i;
        int part = -1;
        SortPageParts(*FileList[i], part);
        break;
    }
    return end;
}
