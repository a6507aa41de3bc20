#pragma once
// How many cores this process may run on, which taskset or a container may limit.
int AllowedCores();
