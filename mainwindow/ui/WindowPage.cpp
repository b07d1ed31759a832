#include "mainwindow/ui/WindowPage.h"
