#pragma once

// Lets the process open as many descriptors as the system allows it, as servers do: every
// connection of a listener row holds one, and the usual soft limit of 1024 would stall them
// unseen at about a thousand. Does nothing where there is no such limit.
void raiseOpenFileLimit();
