// The About box's texts; the front end lays them out after the dialog template.
#pragma once

constexpr const char* kAboutTitle = "About Sonavel";
constexpr const char* kAboutLine104 = "Sonavel Application";
constexpr const char* kAboutLine105 = "Version 2.2";
constexpr const char* kAboutLine106 = "An eight-track audio recorder.";
constexpr const char* kAboutLine107 = "Free software: share it and change it.";
constexpr const char* kWindowTitle = "Sonavel 2.2";
