// The program's start-up, run once by main before any window is made: the number
// format, the text table, the folder settings, the images, the default discount codes
// and the engine. What it produces goes to the search window, which owns it from then
// on.
#pragma once

#include <memory>

#include "CatalogImages.h"
#include "CatalogSettings.h"
#include "EngineStartup.h"

struct TCatalogStart {
  FolderSettings Folders;  // as read from the settings store
  CatalogImages Images;    // from Folders.ImageFolder()
  TEngineState Engine;     // started on Folders.BaseFolder
};

// Runs the start-up in order:
//  - numbers are written and read with the comma from here on;
//  - the text table: "KV.dat" in the working folder, or in the catalogue folder (CDdrev);
//  - the folder settings: without the catalogue or image folder nothing can be shown;
//  - the six images from the image folder;
//  - the default discount-code file ("Rabattkod Default.txt") into RabatKoder;
//  - the engine on the base folder.
// When a step fails the user has been told, the program has been asked to end and the
// answer is null.
std::unique_ptr<TCatalogStart> StartCatalog();
