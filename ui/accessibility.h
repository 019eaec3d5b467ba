#pragma once

namespace zephran::ui {

// Makes Qt present the window's own controls to assistive technology as what
// they are, rather than as the widgets they are built from: the window a
// frame named by its title, each list named by its caption, the two text
// buttons push buttons and the read-me label a link, each with an action
// that does what a click does. Safe to call more than once; needs a
// QApplication.
void InstallAccessibility();

}  // namespace zephran::ui
