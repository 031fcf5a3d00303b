// Resource ids of Quarvelo.exe, shared by Quarvelo.rc and the code (plain #defines: windres
// reads this file too).
#pragma once

#define IDI_QUARVELO 128  // the product icon, first in the file so the shell shows it
#define IDD_SPLASH 129    // CSplashScreenDlg
