// The verbs of mandel, each run on its parsed words. Each returns the exit
// status and writes its messages to err as "mandel: <text>".
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "animate/keyframes.h"
#include "mandel/args.h"

// Write "mandel: <text>" to err and give the exit status: a refused command
// line (with the pointer to the verb's help), or a failure while working.
int UsageError(std::ostream& err, const std::string& verb,
               const std::string& text);
int Failure(std::ostream& err, const std::string& text);

int RenderCommand(const RenderArgs& args, std::ostream& err, bool terminal);
int ColourCommand(const ColourCommandArgs& args, std::ostream& err,
                  bool terminal);
int JoinCommand(const JoinArgs& args, std::ostream& err, bool terminal);
// The keyframes an animate command line describes (a keyframe file, or
// --from/--to/--frames), with the options for every frame applied. False
// with a message otherwise; usage tells a refused command line from a file
// that cannot be read or is malformed. FrameCount(keys) is the length of
// the sequence, for planning its shares.
bool AnimationKeyframes(const AnimateArgs& args, std::vector<Keyframe>& keys,
                        bool& usage, std::string& error);
int AnimateCommand(const AnimateArgs& args, std::ostream& err, bool terminal);
int VideoCommand(const VideoArgs& args, std::ostream& err);
// Writes the job file to out.
int PlanCommand(const PlanArgs& args, std::ostream& out, std::ostream& err);
// Prints the description to out.
int InfoCommand(const std::string& input, std::ostream& out, std::ostream& err);
