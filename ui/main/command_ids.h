// The main window's command ids (its actions, toolbar buttons and menu items) and the indexes
// of its images, shared with the programs that drive the window from outside. Ids are never
// renumbered: a new command takes the next one.
#pragma once

enum TActionId : int {
    ActStart = 1001,
    ActStop,
    ActPause,
    ActRebuild,
    ActUninstall,
    ActInstall,
    ActQuit,
    ActProps,
    ActAbout,
    ActRestart,
    ActComputers,  // Computers of the installation...
};

// The images of the main window's image list, in list order; images.cpp holds their pictures.
enum TImageIndex : int {
    imgUnknown = 0,      // grey ball
    imgRunning = 1,      // green ball
    imgPaused = 2,       // yellow ball
    imgStopped = 3,      // red ball
    imgStarting = 4,     // hourglass with red sand
    imgStopping = 5,     // hourglass with green sand
    imgStart = 6,        // black triangle pointing right
    imgStop = 7,         // black square
    imgPause = 8,        // two black vertical bars
    imgRefresh = 9,      // circular arrow
    imgProperties = 10,  // blue gear, a vector image
    imgQuit = 11,        // red power symbol, a vector image
    imgRestart = 12,     // black square and triangle under a blue arrow turning back
    imgCount
};
