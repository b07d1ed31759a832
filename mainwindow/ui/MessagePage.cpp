#include "mainwindow/ui/MessagePage.h"
