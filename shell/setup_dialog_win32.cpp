// The modal setup dialog from the program's resources: the main dialog 103 with its tab control
// and four pages, mirroring the SetupControls record that holds every rule (setup_controls.h),
// as the GTK dialog does elsewhere.
#include <windows.h>

#include <commctrl.h>
#include <initializer_list>

#include "dashboard/gauges.h"
#include "shell/app.h"
#include "shell/desktop.h"
#include "shell/gl_window.h"
#include "shell/icons_win32.h"
#include "shell/settings.h"
#include "shell/setup_controls.h"

namespace {
constexpr int idPageContainer = 1035;
constexpr int pageResources[4] = {107, 109, 110, 108}; // tab order
constexpr const char* tabNames[4] = {"Parameters", "Fixed Ratio", "Gauge Layout",
                                     "Screen Settings"};

HWND setupPages[4];
SetupControls controls;

// The page that holds control id, or nullptr.
HWND controlWindow(int id) {
    for (HWND page : setupPages) {
        HWND control = page != nullptr ? GetDlgItem(page, id) : nullptr;
        if (control != nullptr) {
            return control;
        }
    }
    return nullptr;
}

void setChecked(int id, bool checked) {
    SendMessageA(controlWindow(id), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

bool isChecked(int id) {
    return SendMessageA(controlWindow(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

// One of a radio group: the checked button's id of those given.
void showRadio(int checkedId, std::initializer_list<int> group) {
    for (int id : group) {
        setChecked(id, id == checkedId);
    }
}

int takeRadio(std::initializer_list<int> group) {
    for (int id : group) {
        if (isChecked(id)) {
            return id;
        }
    }
    return *(group.end() - 1); // none checked reads as the last, as "else" does
}

void showEdit(const EditState& edit) {
    SetWindowTextA(controlWindow(edit.id), edit.text);
}

void takeEdit(EditState& edit) {
    GetWindowTextA(controlWindow(edit.id), edit.text, static_cast<int>(sizeof edit.text));
}

void showList(const ListState& list) {
    HWND control = controlWindow(list.id);
    SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(list.selected), 0);
    EnableWindow(control, list.enabled ? TRUE : FALSE);
}

void takeList(ListState& list) {
    const LRESULT selected = SendMessageA(controlWindow(list.id), CB_GETCURSEL, 0, 0);
    list.selected = selected == CB_ERR ? -1 : static_cast<int>(selected);
}

void showLabels() {
    for (const LabelState& label : controls.unitLabels) {
        SetWindowTextA(controlWindow(label.id), label.text);
    }
}

void showControls() {
    showList(controls.comList);
    showRadio(controls.modelRadio, {idModelK1K, idModelK2K});
    showRadio(controls.temperatureRadio, {idCelcius, idFahrenheit});
    for (const EditState& edit : controls.parameterEdits) {
        showEdit(edit);
    }
    showRadio(controls.distanceRadio, {idKilometres, idMiles});
    showLabels();
    showEdit(controls.rpmEdit);
    for (const EditState& edit : controls.ratioEdits) {
        showEdit(edit);
    }
    showRadio(controls.layoutRadio, {idLayout3x3, idLayout3x4});
    for (const ListState& list : controls.gaugeLists) {
        showList(list);
    }
    showRadio(controls.resolutionRadio, {id640x480, id800x600, id1024x768});
    showRadio(controls.depthRadio, {id16bpp, id32bpp});
    setChecked(idFullScreen, controls.fullScreenChecked);
}

void takeControls() {
    takeList(controls.comList);
    controls.modelRadio = takeRadio({idModelK1K, idModelK2K});
    controls.temperatureRadio = takeRadio({idCelcius, idFahrenheit});
    for (EditState& edit : controls.parameterEdits) {
        takeEdit(edit);
    }
    controls.distanceRadio = takeRadio({idKilometres, idMiles});
    takeEdit(controls.rpmEdit);
    for (EditState& edit : controls.ratioEdits) {
        takeEdit(edit);
    }
    controls.layoutRadio = takeRadio({idLayout3x3, idLayout3x4});
    for (ListState& list : controls.gaugeLists) {
        takeList(list);
    }
    controls.resolutionRadio = takeRadio({id640x480, id800x600, id1024x768});
    controls.depthRadio = takeRadio({id16bpp, id32bpp});
    controls.fullScreenChecked = isChecked(idFullScreen);
}

void fillLists() {
    char name[16];
    HWND comList = controlWindow(idComList);
    for (int port = 1; port <= 10; ++port) {
        wsprintfA(name, "COM%d", port);
        SendMessageA(comList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    for (int i = 0; i < gaugeListCount; ++i) {
        HWND list = controlWindow(idFirstGaugeList + i);
        for (const GaugeKindEntry& kind : gaugeKindTable) {
            SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kind.name));
        }
    }
}

INT_PTR CALLBACK ratioPageProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == idKilometres || LOWORD(wParam) == idMiles) {
            setUnitLabels(controls, LOWORD(wParam) == idMiles ? 1 : 0);
            showLabels();
        }
    }
    return 0;
}

INT_PTR CALLBACK layoutPageProc(HWND, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == idLayout3x3 || LOWORD(wParam) == idLayout3x4) {
            enableFourthColumn(controls, LOWORD(wParam) == idLayout3x4 ? 1 : 0);
            for (const ListState& list : controls.gaugeLists) {
                EnableWindow(controlWindow(list.id), list.enabled ? TRUE : FALSE);
            }
        }
    }
    return 0;
}

void initDialog(HWND dialog) {
    SetWindowTextA(dialog, glWindow.title);
    setDialogIcons(dialog);
    HWND tabs = GetDlgItem(dialog, idTabs);
    for (int i = 0; i < 4; ++i) {
        TCITEMA tab{};
        tab.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
        tab.pszText = const_cast<char*>(tabNames[i]);
        tab.iImage = -1;
        SendMessageA(tabs, TCM_INSERTITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&tab));
    }
    HWND container = GetDlgItem(dialog, idPageContainer);
    const HINSTANCE instance = GetModuleHandleA(nullptr);
    const DLGPROC procedures[4] = {nullptr, ratioPageProc, layoutPageProc, nullptr};
    for (int i = 0; i < 4; ++i) {
        setupPages[i] = CreateDialogParamA(instance, MAKEINTRESOURCEA(pageResources[i]), container,
                                           procedures[i], 0);
        ShowWindow(setupPages[i], i == 0 ? SW_SHOW : SW_HIDE);
    }
    fillLists();
    controls = setupControlsFrom(settings);
    showControls();
}

void destroySetupPages() {
    for (HWND& page : setupPages) {
        if (page != nullptr) {
            DestroyWindow(page);
            page = nullptr;
        }
    }
}

void showSelectedPage(HWND dialog) {
    const auto selected =
        static_cast<int>(SendMessageA(GetDlgItem(dialog, idTabs), TCM_GETCURSEL, 0, 0));
    for (HWND page : setupPages) {
        ShowWindow(page, SW_HIDE);
        SetWindowPos(page, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
    if (selected >= 0 && selected < 4) {
        ShowWindow(setupPages[selected], SW_SHOW);
        BringWindowToTop(setupPages[selected]);
    }
}

INT_PTR CALLBACK setupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        initDialog(dialog);
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->idFrom == static_cast<UINT_PTR>(idTabs) && header->code == TCN_SELCHANGE) {
            showSelectedPage(dialog);
        }
        return 0;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == idStart) {
            takeControls();
            readBackSetupControls(controls, settings);
            saveSettings();
        } else if (LOWORD(wParam) == idQuit) {
            running = 0;
        } else {
            return 0;
        }
        destroySetupPages();
        EndDialog(dialog, static_cast<INT_PTR>(wParam));
        return 1;
    default:
        return 0;
    }
}
} // namespace

void runSetupDialog() {
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(103), nullptr, setupDialogProc, 0);
}
