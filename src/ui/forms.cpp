#include "ui/forms.h"

#include <malloc.h>

#include "ui/Uabout.h"
#include "ui/Ucompression.h"
#include "ui/Upwdlg.h"
#include "ui/Utavelix.h"

namespace tavelix::ui {

TForms::TForms() = default;
TForms::~TForms() = default;
TForms::TForms(TForms&&) noexcept = default;
TForms& TForms::operator=(TForms&&) noexcept = default;

TForms CreateForms() {
    TForms forms;
    forms.Ftavelix = std::make_unique<TFtavelix>();
    TFtavelix& main = *forms.Ftavelix;
    forms.PasswordDlg = new TPasswordDlg(main.PasswordStore(), &main);
    main.PasswordDlg = forms.PasswordDlg;
    forms.fcompression = new Tfcompression(&main);
    main.fcompression = forms.fcompression;
    forms.fabout = new Tfabout(main);
    main.fabout = forms.fabout;
    return forms;
}

void KeepPictureMemory() {
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
}

}  // namespace tavelix::ui
