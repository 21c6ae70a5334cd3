#pragma once

/// A task of the media task timer (TaskTimer). tick() runs on the timer's thread, with the id that
/// TaskTimer::addTask returned for the task, each time the task is due. It must be short, since
/// every task of the timer waits for it, and must not add or remove tasks.
class CPPTimeTask
{
public:
    virtual ~CPPTimeTask() = default;
    virtual void tick(int taskId) = 0;
};
