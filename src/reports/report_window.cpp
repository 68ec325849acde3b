#include "reports/report_window.h"

ReportWindow* MainWindow = nullptr;
